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

# The set-up chosen where the 32-bit one could not be installed (its packages refused by the
# registry) is kept here, with the reason, so that every later script runs under the same one.
SETUP_MEMO=$BUILD/windows-setup

# Picks the set-up for this machine and names it in one line. The kernel refuses a 32-bit
# program with "Exec format error" (status 126); any other failure is a broken probe. A set-up
# whose packages are all present is never changed: the kept 64-bit choice only holds while the
# 32-bit set-up's packages are still missing.
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
  if [ -z "$why" ] && [ -f "$SETUP_MEMO" ]; then
    if [ -z "$(missing_packages 32)" ]; then
      rm -f "$SETUP_MEMO"
    else
      why=$(sed -n 2p "$SETUP_MEMO")
    fi
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
  "prometheus:/usr/bin/promtool"
  "prometheus-node-exporter:/usr/bin/prometheus-node-exporter"
  "curl:/usr/bin/curl"
  "python3:/usr/bin/python3"
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

# The packages of a list ("common", "32" or "64") that are not installed, one per line.
# VIGILON_ASSUME_MISSING names packages to treat as missing whatever is installed: the
# registry-outage test (tests/setup/registry_outage.sh) uses it to reach the install paths on a
# machine that has everything.
missing_packages() {
  local which=PACKAGES
  [ "$1" = 32 ] && which=PACKAGES_32
  [ "$1" = 64 ] && which=PACKAGES_64
  local -n list=$which
  local entry name
  for entry in "${list[@]}"; do
    name=${entry%:*}
    if [ ! -e "${entry##*:}" ] || [[ " ${VIGILON_ASSUME_MISSING:-} " == *" $name "* ]]; then
      echo "$name"
    # The file alone does not tell that the i386 package is installed.
    elif [ "$name" = wine32:i386 ] && ! dpkg -s wine32:i386 >/dev/null 2>&1; then
      echo "$name"
    fi
  done
}

APT_LOG=$BUILD/apt.log
APT_UPDATED=""

# The package tool's own last error line of its last run (`first`: its first one, which names
# the index file a failed update could not fetch).
apt_last_error() {
  local line pick=tail
  [ "${1:-}" = first ] && pick=head
  line=$(grep '^E: ' "$APT_LOG" 2>/dev/null | $pick -1)
  [ -n "$line" ] || line=$(grep -v '^[[:space:]]*$' "$APT_LOG" 2>/dev/null | tail -1)
  printf '%s' "${line:-no output}"
}

# A registry in the middle of a sync refuses an index file for a while ("Mirror sync in
# progress?"): a few tries with a pause, then go on with the index files as they are and let
# the install decide whether they serve. Another apt run (a second checkout's scripts) may hold
# the lock: wait for it.
apt_update() {
  [ -z "$APT_UPDATED" ] || return 0
  APT_UPDATED=1
  local try
  for try in 1 2 3; do
    if $SUDO apt-get -o DPkg::Lock::Timeout=900 update -q >"$APT_LOG" 2>&1; then
      return 0
    fi
    [ "$try" = 3 ] || sleep $((try * 5))
  done
  echo "Warning: apt-get update failed three times; going on with the package index as it is" \
    "($(apt_last_error first))" >&2
}

# Installs the packages named, its output in $APT_LOG; fails as apt-get does.
apt_install() {
  log "Installing: $*"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q \
    --no-install-recommends "$@" >"$APT_LOG" 2>&1
}

# Installs what is missing: the packages of every machine, then those of the chosen set-up. A
# 32-bit set-up whose packages cannot be installed (their i386 index missing, say) gives way to
# the 64-bit one, which is then kept for later scripts; a script that has not chosen a set-up
# gets this machine's.
install_missing() {
  [ -n "$WINDOWS_SETUP" ] || choose_windows_setup
  local common setup failed="" error
  mapfile -t common < <(missing_packages common)
  mapfile -t setup < <(missing_packages "$WINDOWS_SETUP")
  [ ${#common[@]} -eq 0 ] && [ ${#setup[@]} -eq 0 ] && return 0
  mkdir -p "$BUILD"
  if [ "$WINDOWS_SETUP" = 32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_update
  if [ ${#common[@]} -gt 0 ] && ! apt_install "${common[@]}"; then
    echo "Could not install ${common[*]}: $(apt_last_error) (apt-get's output: $APT_LOG)" >&2
    return 1
  fi
  [ ${#setup[@]} -eq 0 ] && return 0
  apt_install "${setup[@]}" && return 0
  error=$(apt_last_error)
  failed="${setup[*]} ($error)"
  if [ "$WINDOWS_SETUP" = 32 ]; then
    printf '64\nthe 32-bit set-up could not be installed: %s\n' "$error" >"$SETUP_MEMO"
    use_windows_setup 64
    log "Windows set-up: 64-bit (the 32-bit set-up's ${setup[*]} could not be installed: $error):" \
      "a 64-bit build ($WINTESTS) runs under 64-bit Wine; the 32-bit program folder is built, not run"
    mapfile -t setup < <(missing_packages 64)
    [ ${#setup[@]} -eq 0 ] && return 0
    apt_install "${setup[@]}" && return 0
    failed="$failed; neither could the 64-bit set-up's ${setup[*]} ($(apt_last_error))"
    rm -f "$SETUP_MEMO"
  fi
  echo "No Windows set-up could be installed: $failed. apt-get's output: $APT_LOG" >&2
  return 1
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
