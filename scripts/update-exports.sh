#!/usr/bin/env bash
# Regenerates exports/<library>.txt, the sorted names each shared library exports, from a
# build; scripts/check-install.sh compares the installed libraries with these lists.
#
#   scripts/update-exports.sh [build dir]       (default: build/gcc)
#   scripts/update-exports.sh --print <library file>   (the list of one library, to stdout)
#   scripts/update-exports.sh --win32 [build dir]      (exports/win32/<library>.txt from the
#                                                       DLLs of a MinGW build, default build/win32)
#   scripts/update-exports.sh --print-dll <DLL>        (the list of one DLL, to stdout)
set -eu
cd "$(dirname "$0")/.."

# Defined dynamic symbols, names only: the symbol type letters vary between compilers.
print_exports() {
  nm -D --defined-only "$1" | awk 'NF >= 3 { print $3 }' | LC_ALL=C sort -u
}

# The names of a DLL's export table.
print_dll_exports() {
  i686-w64-mingw32-objdump -p "$1" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | LC_ALL=C sort -u
}

case "${1:-}" in
  --print) print_exports "$2"; exit 0 ;;
  --print-dll) print_dll_exports "$2"; exit 0 ;;
  --win32)
    build=${2:-build/win32}
    mkdir -p exports/win32
    for lib in vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign; do
      file=$(find "$build" -name "$lib.dll" -not -path '*/CMakeFiles/*' | head -n 1)
      if [ -z "$file" ]; then
        echo "no $lib.dll under $build" >&2
        exit 1
      fi
      print_dll_exports "$file" >"exports/win32/$lib.txt"
      echo "exports/win32/$lib.txt: $(wc -l <"exports/win32/$lib.txt") names"
    done
    exit 0 ;;
esac
build=${1:-build/gcc}
mkdir -p exports
for lib in vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign; do
  file=$(find "$build" -name "lib$lib.so" -not -path '*/CMakeFiles/*' | head -n 1)
  if [ -z "$file" ]; then
    echo "no lib$lib.so under $build" >&2
    exit 1
  fi
  print_exports "$file" >"exports/$lib.txt"
  echo "exports/$lib.txt: $(wc -l <"exports/$lib.txt") names"
done
