#!/usr/bin/env bash
# The two README commands on a day the package registry has a bad moment, in a fresh clone of
# this checkout's HEAD with a stand-in apt-get first on PATH:
#   fallback  its update fails with 100 and it refuses wine32:i386, passing everything else to
#             the real apt-get: scripts/run and scripts/test must go to the end in the 64-bit
#             set-up, which scripts/test takes from the build tree without asking again;
#   refused   it refuses every install: both commands must end in one message naming the
#             packages and apt-get's own error line.
#   tests/setup/registry_outage.sh [fallback|refused|all]     (default all; takes many minutes)
# The packages this machine has are made to look missing through VIGILON_ASSUME_MISSING, so
# that the install paths run whatever is installed. Not part of scripts/test.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WHICH=${1:-all}
WORK=$(mktemp -d /tmp/vigilon-outage.XXXXXX)
REAL_APT=$(command -v apt-get)
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# A stand-in apt-get; `refuse` is what its install refuses: one package name, or "everything".
stand_in() {
  # No colon in the folder's name: PATH would split it.
  local bin=$WORK/bin-${1//:/-}
  mkdir -p "$bin"
  cat >"$bin/apt-get" <<STANDIN
#!/usr/bin/env bash
for arg in "\$@"; do
  case \$arg in
    update)
      echo "E: Failed to fetch http://registry.invalid/dists/stable/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100 ;;
    install)
      if [ "$1" = everything ] || [[ " \$* " == *" $1 "* ]]; then
        echo "Reading package lists..."
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
      fi ;;
  esac
done
exec "$REAL_APT" "\$@"
STANDIN
  chmod +x "$bin/apt-get"
  echo "$bin"
}

fresh_clone() {
  rm -rf "$WORK/clone"
  git clone -q "$ROOT" "$WORK/clone"
}

fallback() {
  local bin out=$WORK/fallback
  bin=$(stand_in wine32:i386)
  fresh_clone
  mkdir -p "$out"
  echo "== fallback: scripts/run (output: $out/run.log)"
  if ! (cd "$WORK/clone" && PATH=$bin:$PATH VIGILON_ASSUME_MISSING=wine32:i386 scripts/run) \
    >"$out/run.log" 2>&1; then
    fail "scripts/run did not go through: $(tail -1 "$out/run.log")"
  fi
  grep -q "Windows set-up: 64-bit (the 32-bit set-up's .*wine32:i386 could not be installed" \
    "$out/run.log" || fail "scripts/run did not name the 64-bit set-up and its reason"
  grep -q "^Warning: apt-get update failed" "$out/run.log" ||
    fail "scripts/run did not warn of the failed update"
  grep -q "Vigilon reached its main window" "$out/run.log" ||
    fail "scripts/run did not reach the main window"
  [ "$(head -1 "$WORK/clone/build/windows-setup" 2>/dev/null)" = 64 ] ||
    fail "the 64-bit choice is not kept in the build tree"
  echo "== fallback: scripts/test (output: $out/test.log)"
  if ! (cd "$WORK/clone" && PATH=$bin:$PATH VIGILON_ASSUME_MISSING=wine32:i386 scripts/test) \
    >"$out/test.log" 2>&1; then
    fail "scripts/test did not go through: $(tail -1 "$out/test.log")"
  fi
  grep -q "Windows set-up: 64-bit (the 32-bit set-up could not be installed" "$out/test.log" ||
    fail "scripts/test did not take the kept 64-bit set-up"
  grep -q "64-bit Windows build and tests under 64-bit Wine" "$out/test.log" ||
    fail "scripts/test did not run the 64-bit Windows tests"
}

refused() {
  local bin out=$WORK/refused script
  bin=$(stand_in everything)
  fresh_clone
  mkdir -p "$out"
  for script in run test; do
    echo "== refused: scripts/$script (output: $out/$script.log)"
    if (cd "$WORK/clone" && PATH=$bin:$PATH VIGILON_ASSUME_MISSING="wine32:i386 wine64" \
      "scripts/$script") >"$out/$script.log" 2>&1; then
      fail "scripts/$script went on although no set-up could be installed"
    fi
    tail -1 "$out/$script.log" | grep -q "^No Windows set-up could be installed: wine.*(E: Unable to correct problems" ||
      fail "scripts/$script did not end in the one message: $(tail -1 "$out/$script.log")"
    # A machine that runs no 32-bit programs has only the 64-bit set-up to try.
    if grep -q "Windows set-up: 32-bit" "$out/$script.log"; then
      grep -q "neither could the 64-bit set-up's wine64 (E: " "$out/$script.log" ||
        fail "scripts/$script's message does not name the 64-bit set-up's packages"
    fi
    # The set-up lines, the update's warning, the install lines and the message: no apt output.
    [ "$(wc -l <"$out/$script.log")" -le 6 ] ||
      fail "scripts/$script printed $(wc -l <"$out/$script.log") lines, not one message"
    [ ! -e "$WORK/clone/build/windows-setup" ] ||
      fail "scripts/$script kept a set-up that could not be installed"
  done
}

case $WHICH in
  fallback) fallback ;;
  refused) refused ;;
  all) refused; fallback ;;
  *) echo "usage: $0 [fallback|refused|all]" >&2; exit 2 ;;
esac
if [ "$failures" -eq 0 ]; then
  echo "registry outage: every check passed ($WHICH); logs in $WORK"
  rm -rf "$WORK/clone"
else
  echo "registry outage: $failures check(s) failed; logs in $WORK" >&2
  exit 1
fi
