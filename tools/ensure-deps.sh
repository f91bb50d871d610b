# Sourced by test.sh and run.sh: installs the Debian packages the build and tests need, the
# 32-bit side of Wine (i386 multiarch) and the system languages the tests run under.
gs_packages=(cmake make g++ mingw-w64 wine64 wine32:i386 xvfb x11-utils imagemagick
             fonts-ipafont-gothic googletest libbenchmark-dev clang libclang-rt-14-dev python3
             locales time osslsigncode openssl)
SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
gs_missing=()
for p in "${gs_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || gs_missing+=("$p")
done
if [ ${#gs_missing[@]} -gt 0 ]; then
  echo "installing: ${gs_missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q "${gs_missing[@]}"
fi

# Wine takes the ANSI code page from the locale's name (ja_JP 932, en_US 1252, zh_CN 936), but
# maps file names to Unix ones through the locale's character set: a locale that does not
# exist silently gives an ASCII mapping, and every non-ASCII path (ゲーム, José) fails.
for gs_loc in ja_JP en_US zh_CN; do
  if ! locale -a 2>/dev/null | grep -qiE "^$gs_loc\.utf-?8\$"; then
    echo "generating the $gs_loc.UTF-8 locale"
    ${SUDO:-} localedef -i "$gs_loc" -c -f UTF-8 "$gs_loc.UTF-8" \
      || { echo "error: could not generate $gs_loc.UTF-8" >&2; return 1 2>/dev/null || exit 1; }
  fi
done
