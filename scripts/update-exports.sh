#!/usr/bin/env bash
# Regenerates exports/<library>.txt, the sorted names each shared library exports, from a
# build; scripts/check-install.sh compares the installed libraries with these lists.
#
#   scripts/update-exports.sh [build dir]       (default: build/gcc)
#   scripts/update-exports.sh --print <library file>   (the list of one library, to stdout)
set -eu
cd "$(dirname "$0")/.."

# Defined dynamic symbols, names only: the symbol type letters vary between compilers.
print_exports() {
  nm -D --defined-only "$1" | awk 'NF >= 3 { print $3 }' | LC_ALL=C sort -u
}

if [ "${1:-}" = "--print" ]; then
  print_exports "$2"
  exit 0
fi
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
