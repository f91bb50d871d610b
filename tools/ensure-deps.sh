# Sourced by test.sh and run.sh: installs the Debian packages the build and tests need.
gs_packages=(cmake make g++ mingw-w64 wine64 xvfb x11-utils imagemagick fonts-ipafont-gothic
             googletest libbenchmark-dev clang libclang-rt-14-dev python3 locales time)
SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
gs_missing=()
for p in "${gs_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || gs_missing+=("$p")
done
if [ ${#gs_missing[@]} -gt 0 ]; then
  echo "installing: ${gs_missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q "${gs_missing[@]}"
fi

# Wine takes the ANSI code page (932) from the locale's name, but maps file names to Unix ones
# through the locale's character set: without a real ja_JP.UTF-8 locale, every non-ASCII path
# (ゲーム, 予約表) fails to open.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  echo "generating the ja_JP.UTF-8 locale"
  ${SUDO:-} localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8 || echo "warning: could not generate ja_JP.UTF-8" >&2
fi
