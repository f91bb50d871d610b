# Sourced with WINEPREFIX set (an absolute path): the environment of every Wine run here.
# Wine's menu builder is off, since it writes menus and desktop files into the home folder, and
# the per-user files of Wine and of the graphics stack (fontconfig and shader caches) stay in
# the prefix: HOME and the XDG folders point inside it.
: "${WINEPREFIX:?set WINEPREFIX before sourcing wine-env.sh}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=$WINEPREFIX/.home
export XDG_CACHE_HOME=$HOME/.cache XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$HOME"
