#!/usr/bin/env bash
# Regenerates every generated file that is committed, into a temporary folder, from the
# repository alone, and fails on any byte of difference: a changed reference table without
# its regenerated files, or a hand edit of a generated file, both fail here.
#
#   scripts/check-generated.sh
#
# Generated files and their generators:
#   mqi/include/cmq*.h                      scripts/gen_mqi_headers.py (data/mq, scripts/mqi_*.tsv)
#   common/config/mqsc/{keywords,values,rules}.tsv
#                                           common/config/mqsc/derive.py (data/mq and the
#                                           hand-kept files of that folder)
#   tests/data/api/mqsc/ibm_grammar.tsv     tests/data/api/mqsc/make_grammar.py (data/mq)
# (The C++ of the MQSC tables is generated at build time and never committed.)
# Exit status: 0 all equal, 1 a difference or a generator failed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
checked=0

generate() {  # label, command...
  local label=$1; shift
  if ! "$@" 2>"$work/err"; then
    echo "FAILED: $label: the generator failed"; sed 's/^/  /' "$work/err" | tail -n 10
    failed=1
  fi
}
compare() {  # generated file, committed file
  checked=$((checked + 1))
  if ! cmp -s "$1" "$2"; then
    echo "FAILED: ${2#"$root"/} differs from what its generator writes:"
    diff -u "$2" "$1" --label "${2#"$root"/} (committed)" --label "regenerated" | head -n 20
    failed=1
  fi
}

mkdir -p "$work/include" "$work/mqsc"
generate "MQI headers" python3 "$root/scripts/gen_mqi_headers.py" "$work/include"
for h in "$root"/mqi/include/cmq*.h; do
  compare "$work/include/$(basename "$h")" "$h"
done
# A header the generator writes that is not committed counts as a difference too.
for h in "$work"/include/*.h; do
  [ -e "$root/mqi/include/$(basename "$h")" ] || { echo "FAILED: mqi/include/$(basename "$h") is not committed"; failed=1; }
done
generate "MQSC tables" python3 "$root/common/config/mqsc/derive.py" "$work/mqsc"
for f in keywords.tsv values.tsv rules.tsv; do
  compare "$work/mqsc/$f" "$root/common/config/mqsc/$f"
done
generate "MQSC grammar" sh -c 'python3 "$1" >"$2"' - "$root/tests/data/api/mqsc/make_grammar.py" "$work/ibm_grammar.tsv"
compare "$work/ibm_grammar.tsv" "$root/tests/data/api/mqsc/ibm_grammar.tsv"

# Fewer than the ten files above means a generated file went missing from the tree.
if [ "$checked" -lt 10 ]; then
  echo "FAILED: only $checked generated files compared, expected 10"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "$checked generated files equal their generators' output"
exit "$failed"
