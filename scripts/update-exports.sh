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

# The names of a DLL's export table (the 64-bit tools read 32-bit DLLs as well).
print_dll_exports() {
  local objdump=x86_64-w64-mingw32-objdump
  command -v "$objdump" >/dev/null || objdump=i686-w64-mingw32-objdump
  "$objdump" -p "$1" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | LC_ALL=C sort -u
}

# write_lists <build dir> <list folder> <file name pattern, % for the library> <printer>
write_lists() {
  mkdir -p "$2"
  for lib in vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign; do
    name=${3//%/$lib}
    file=$(find "$1" -name "$name" -not -path '*/CMakeFiles/*' | head -n 1)
    if [ -z "$file" ]; then
      echo "no $name under $1" >&2
      exit 1
    fi
    "$4" "$file" >"$2/$lib.txt"
    echo "$2/$lib.txt: $(wc -l <"$2/$lib.txt") names"
  done
}

case "${1:-}" in
  --print) print_exports "$2" ;;
  --print-dll) print_dll_exports "$2" ;;
  --win32) write_lists "${2:-build/win32}" exports/win32 %.dll print_dll_exports ;;
  *) write_lists "${1:-build/gcc}" exports lib%.so print_exports ;;
esac
