# Shared by scripts/run and scripts/test: installs what is missing, builds, and sets up Wine.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${VIGILON_BUILD_DIR:-$ROOT/build}
NATIVE=$BUILD/native
WINDOWS=$BUILD/windows
FUZZ=$BUILD/fuzz
export WINEPREFIX=$BUILD/wineprefix
export WINEARCH=win32
# No Mono or Gecko install prompts, and quiet logs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all

log() { printf '\033[1m== %s\033[0m\n' "$*"; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# Debian packages, each with a file that shows it is there.
PACKAGES=(
  "cmake:/usr/bin/cmake"
  "ninja-build:/usr/bin/ninja"
  "g++:/usr/bin/g++"
  "clang:/usr/bin/clang++"
  "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "googletest:/usr/src/googletest/CMakeLists.txt"
  "libgtest-dev:/usr/include/gtest/gtest.h"
  "g++-mingw-w64-i686-posix:/usr/bin/i686-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-windres"
  "wine:/usr/bin/wine"
  "wine32:/usr/lib/wine/wine"
  "xvfb:/usr/bin/Xvfb"
  "xauth:/usr/bin/xauth"
  "imagemagick:/usr/bin/import"
  "xdotool:/usr/bin/xdotool"
  "fonts-wine:/usr/share/wine/fonts/marlett.ttf"
)

install_missing() {
  local missing=() entry
  for entry in "${PACKAGES[@]}"; do
    [ -e "${entry#*:}" ] || missing+=("${entry%%:*}")
  done
  # wine32 lives in the i386 architecture.
  if [ ${#missing[@]} -eq 0 ] && dpkg -s wine32:i386 >/dev/null 2>&1; then
    return 0
  fi
  dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=("wine32:i386")
  log "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_native() {
  [ -f "$NATIVE/build.ninja" ] ||
    cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIGILON_SANITIZE=ON
}

configure_windows() {
  [ -f "$WINDOWS/build.ninja" ] ||
    cmake -S "$ROOT" -B "$WINDOWS" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$ROOT/scripts/wine-run"
}

configure_fuzz() {
  [ -f "$FUZZ/build.ninja" ] ||
    cmake -S "$ROOT" -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVIGILON_FUZZ=ON -DVIGILON_SANITIZE=ON
}

# The Wine prefix is made once, inside the build tree. Wine draws the window frames itself
# (there is no window manager on a virtual display), so screenshots show title bars.
prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Wine's own fonts (Marlett draws the caption buttons) where the prefix's programs find them.
  if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
  fi
}

# Runs a command on a virtual X display when there is no display.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
