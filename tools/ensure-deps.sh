# Sourced by test.sh and run.sh: installs the Debian packages the build and tests need.
gs_packages=(cmake make g++ mingw-w64 wine64 xvfb x11-utils imagemagick fonts-ipafont-gothic
             googletest libbenchmark-dev clang libclang-rt-14-dev python3)
gs_missing=()
for p in "${gs_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || gs_missing+=("$p")
done
if [ ${#gs_missing[@]} -gt 0 ]; then
  echo "installing: ${gs_missing[*]}"
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q "${gs_missing[@]}"
fi
