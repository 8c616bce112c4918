# Shared by scripts/run and scripts/test: installs what is missing, builds, and sets up Wine.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${VIGILON_BUILD_DIR:-$ROOT/build}
NATIVE=$BUILD/native
FUZZ=$BUILD/fuzz
# The product's build: dist/ here always holds the 32-bit program folder.
WINDOWS=$BUILD/windows
# No Mono or Gecko install prompts, and quiet logs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all

log() { printf '\033[1m== %s\033[0m\n' "$*"; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# The Windows test set-up. Some machines of this kind run no 32-bit Linux program, so 32-bit
# Wine cannot start there; the same sources then build for 64-bit Windows and run under 64-bit
# Wine. VIGILON_WINE64=1 picks that set-up on any machine.
#   WINDOWS_SETUP  32 or 64, empty until chosen
#   WINTESTS       the Windows build whose tests run and whose program folder scripts/run starts
#   WINE           the Wine loader for WINTESTS's programs
# The 64-bit set-up calls the 64-bit loader and server itself: the `wine` and `wineserver`
# wrappers pick the 32-bit ones whenever their files exist, even where they cannot run.
WINDOWS_SETUP=""
use_windows_setup() {
  WINDOWS_SETUP=$1
  if [ "$WINDOWS_SETUP" = 64 ]; then
    WINTESTS=$BUILD/windows64
    WINE=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    export WINEPREFIX=$BUILD/wineprefix64
    export WINEARCH=win64
  else
    WINTESTS=$WINDOWS
    WINE=wine
    export WINEPREFIX=$BUILD/wineprefix
    export WINEARCH=win32
  fi
}

# Whether the kernel runs 32-bit x86 programs, asked of the smallest one there is: a static
# i386 ELF file whose only instruction sequence is exit(0). No package is needed for it, so
# the answer is there before anything is installed.
runs_32bit_programs() {
  local probe=$BUILD/probe-i386
  if [ ! -x "$probe" ]; then
    mkdir -p "$BUILD"
    {
      # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054, one program
      # header at offset 52.
      printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
      printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
      printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
      # Program header: the whole 93-byte file loaded readable and executable at 0x08048000.
      printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
      printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
      # mov $1, %eax; xor %ebx, %ebx; int $0x80
      printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'
    } >"$probe.new"
    chmod +x "$probe.new"
    mv "$probe.new" "$probe"
  fi
  "$probe" 2>/dev/null
}

# Picks the set-up for this machine and names it in one line. The kernel refuses a 32-bit
# program with "Exec format error" (status 126); any other failure is a broken probe.
choose_windows_setup() {
  local why="" status=0
  if [ "${VIGILON_WINE64:-}" = 1 ]; then
    why="forced by VIGILON_WINE64=1"
  else
    runs_32bit_programs || status=$?
    case $status in
      0) ;;
      126) why="this machine runs no 32-bit programs" ;;
      *)
        echo "The 32-bit probe $BUILD/probe-i386 failed with status $status." >&2
        return 1
        ;;
    esac
  fi
  if [ -z "$why" ]; then
    use_windows_setup 32
    log "Windows set-up: 32-bit: the 32-bit build ($WINTESTS) runs under 32-bit Wine"
  else
    use_windows_setup 64
    log "Windows set-up: 64-bit ($why): a 64-bit build ($WINTESTS) runs under 64-bit Wine;" \
      "the 32-bit program folder is built, not run"
  fi
}

# Debian packages, each with a file that shows it is there: those of every machine, then those
# of each set-up.
PACKAGES=(
  "cmake:/usr/bin/cmake"
  "ninja-build:/usr/bin/ninja"
  "g++:/usr/bin/g++"
  "clang:/usr/bin/clang++"
  "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "googletest:/usr/src/googletest/CMakeLists.txt"
  "libgtest-dev:/usr/include/gtest/gtest.h"
  "g++-mingw-w64-i686-posix:/usr/bin/i686-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-objdump"
  "xvfb:/usr/bin/Xvfb"
  "xauth:/usr/bin/xauth"
  "imagemagick:/usr/bin/import"
  "xdotool:/usr/bin/xdotool"
  "fonts-wine:/usr/share/wine/fonts/marlett.ttf"
  "valgrind:/usr/bin/valgrind"
)
PACKAGES_32=(
  "wine:/usr/bin/wine"
  "wine32:i386:/usr/lib/wine/wine"
)
PACKAGES_64=(
  "g++-mingw-w64-x86-64-posix:/usr/bin/x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-windres"
  "wine64:/usr/lib/wine/wine64"
)

# The Wine packages are the set-up's: a script that has not chosen one gets this machine's.
install_missing() {
  [ -n "$WINDOWS_SETUP" ] || choose_windows_setup
  local missing=() entry wanted=("${PACKAGES[@]}")
  if [ "$WINDOWS_SETUP" = 64 ]; then
    wanted+=("${PACKAGES_64[@]}")
  else
    wanted+=("${PACKAGES_32[@]}")
  fi
  for entry in "${wanted[@]}"; do
    [ -e "${entry##*:}" ] || missing+=("${entry%:*}")
  done
  # The file alone does not tell that the i386 package is installed.
  if [ "$WINDOWS_SETUP" = 32 ] && ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    [[ " ${missing[*]} " == *" wine32:i386 "* ]] || missing+=("wine32:i386")
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  log "Installing: ${missing[*]}"
  if [ "$WINDOWS_SETUP" = 32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # Another apt run (a second checkout's scripts) may hold the lock: wait for it.
  $SUDO apt-get -o DPkg::Lock::Timeout=900 update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q \
    --no-install-recommends "${missing[@]}"
}

configure_native() {
  [ -f "$NATIVE/build.ninja" ] ||
    cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIGILON_SANITIZE=ON
}

# The 32-bit build, on every machine; its test programs run under 32-bit Wine.
configure_windows() {
  [ -f "$WINDOWS/build.ninja" ] ||
    cmake -S "$ROOT" -B "$WINDOWS" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$ROOT/scripts/wine-run"
}

# The 64-bit test build of the 64-bit set-up; its test programs run under 64-bit Wine.
configure_windows64() {
  [ -f "$BUILD/windows64/build.ninja" ] ||
    cmake -S "$ROOT" -B "$BUILD/windows64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-mingw.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$ROOT/scripts/wine-run;--win64"
}

configure_fuzz() {
  [ -f "$FUZZ/build.ninja" ] ||
    cmake -S "$ROOT" -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVIGILON_FUZZ=ON -DVIGILON_SANITIZE=ON
}

# The set-up's Wine prefix is made once, inside the build tree. Wine draws the window frames
# itself (there is no window manager on a virtual display), so screenshots show title bars.
prepare_wine() {
  local server=${WINESERVER:-wineserver}
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$server" -w
  fi
  # Wine's own fonts (Marlett draws the caption buttons) where the prefix's programs find them.
  if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    "$server" -w
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
