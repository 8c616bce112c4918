#!/usr/bin/env bash
# Reads a program folder's binaries without running them: what only the 32-bit build can show is
# checked on every machine, those whose Wine cannot start a 32-bit program included; the 64-bit
# test build's folder gets the checks that apply to it (its hardening and its manifest).
# Usage: check_program_folder.sh 32|64 OBJDUMP NM DIST
set -uo pipefail
bits=$1 objdump=$2 nm=$3 dist=$4
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

exe=$("$objdump" -p "$dist/vigilon.exe") || exit 1
dll=$("$objdump" -p "$dist/kestrel.dll") || exit 1

# Hardened as the build states it: a randomised load address, no code run from data; on 64-bit
# that address anywhere in the space, on 32-bit the program given all 4 GB a 64-bit Windows
# has; and no symbols left in the binaries.
for file in vigilon.exe kestrel.dll; do
  if [ "$file" = vigilon.exe ]; then headers=$exe; else headers=$dll; fi
  flags=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$headers")
  wanted="DYNAMIC_BASE NX_COMPAT"
  [ "$bits" = 64 ] && wanted+=" HIGH_ENTROPY_VA"
  for flag in $wanted; do
    grep -Eq "^[[:space:]]+$flag\$" <<<"$flags" || fail "$file: DllCharacteristics lack $flag"
  done
  if [ "$bits" = 32 ]; then
    sed -n '/^Characteristics/,/^$/p' <<<"$headers" | grep -q 'large address aware' ||
      fail "$file is not large-address-aware"
  fi
  "$nm" "$dist/$file" 2>&1 | grep -q 'no symbols' || fail "$file still holds symbols"
done

# The manifest names the program's own architecture.
arch=x86
[ "$bits" = 64 ] && arch=amd64
LC_ALL=C grep -aq "name=\"Vigilon\" version=\"[0-9.]*\" processorArchitecture=\"$arch\"" \
  "$dist/vigilon.exe" || fail "vigilon.exe's manifest does not name the architecture $arch"

if [ "$bits" = 64 ]; then
  [ "$failures" -eq 0 ] || { echo "$failures check(s) of $dist failed"; exit 1; }
  echo "The 64-bit test build's binaries: hardened, their manifest their own"
  exit 0
fi

# The product is a 32-bit Windows GUI program and its driver a 32-bit library.
grep -q 'file format pei-i386' <<<"$exe" || fail "vigilon.exe is not a 32-bit Windows program"
grep -q 'file format pei-i386' <<<"$dll" || fail "kestrel.dll is not a 32-bit Windows library"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$exe" || fail "vigilon.exe is not a GUI program"

# Nothing on the user's machine but the program folder: the binaries import only libraries every
# Windows has (the C and C++ runtimes are linked in), and the program loads the driver itself at
# run time, so a missing kestrel.dll is the program's own message rather than a loader error.
system_libraries=" advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll"
system_libraries+=" ole32.dll user32.dll "
for file in vigilon.exe kestrel.dll; do
  if [ "$file" = vigilon.exe ]; then headers=$exe; else headers=$dll; fi
  imported=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers")
  [ -n "$imported" ] || fail "$file: no import table read"
  for library in $imported; do
    [[ $system_libraries == *" $library "* ]] || fail "$file imports $library"
  done
done

# The newer DPI functions are looked up at run time, so the program still starts on older Windows.
newer=$(grep -Eo '[[:space:]](GetDpiFor[A-Za-z]*|[A-Za-z]*DpiAwareness[A-Za-z]*|[A-Za-z]*ForDpi)$' \
  <<<"$exe")
[ -z "$newer" ] || fail "vigilon.exe imports${newer//[[:space:]]/ }"

# The embedded manifest declares the execution level, so Windows never redirects a save into a
# per-user store outside the program folder (it does that only for programs that declare none).
LC_ALL=C grep -aq '<requestedExecutionLevel level="asInvoker"' "$dist/vigilon.exe" ||
  fail "vigilon.exe's manifest declares no execution level asInvoker"

# kestrel.dll exports exactly the seven driver operations under their plain names, each a stdcall
# function that takes that many bytes of arguments off the stack when it returns (ret $bytes;
# a bare ret for none): the stripped library has no symbol names to tell.
expected="DisablePri@0 EnablePri@0 InPortB@4 InitialBus@16 LoadKestrelVxD@0 OutPortB@8"
expected+=" UnLoadKestrelVxD@0"
# "name rva" per export, from the export address table and the name table that indexes it.
exports=$(awk '
  { gsub(/\[ */, "[") }
  /^Export Address Table --/ { table = "addresses"; next }
  /^\[Ordinal\/Name Pointer\] Table/ { table = "names"; next }
  NF == 0 { table = "" }
  table == "addresses" && $NF == "RVA" { rva[$1] = $3 }
  table == "names" && NF == 2 { print $2, rva[$1] }' <<<"$dll")
names=$(awk '{ print $1 }' <<<"$exports" | sort | tr '\n' ' ')
[ "$names" = "$(tr ' ' '\n' <<<"$expected" | sed 's/@.*//' | sort | tr '\n' ' ')" ] ||
  fail "kestrel.dll exports: $names"
base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$dll")
for entry in $expected; do
  rva=$(awk -v n="${entry%@*}" '$1 == n { print $2 }' <<<"$exports")
  bytes=${entry#*@}
  ret=""
  if [ -n "$rva" ]; then
    start=$((0x$base + 0x$rva))
    ret=$("$objdump" -d --start-address=$start --stop-address=$((start + 0x400)) \
      "$dist/kestrel.dll" | grep -m1 -Eo '[[:space:]]ret[[:space:]]*(\$0x[0-9a-f]+)?$')
  fi
  want='ret'
  [ "$bytes" = 0 ] || want=$(printf 'ret $0x%x' "$bytes")
  [ "$(tr -s ' \t' ' ' <<<"${ret# }" | sed 's/^ //')" = "$want" ] ||
    fail "kestrel.dll export ${entry%@*} does not return as a stdcall function of $bytes bytes"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the program folder $dist failed"
  exit 1
fi
echo "The 32-bit program folder's binaries: as shipped"
