#!/usr/bin/env bash
# Reads the run path (DT_RUNPATH and DT_RPATH) of every ELF file under the given folders
# and fails on an element that is empty or relative: the loader takes either for a folder
# relative to the current one, so a program started elsewhere could load a library placed
# there (an empty element is the current folder itself). Absolute folders and
# $ORIGIN-based ones pass. Folders named node-ibmmq (IBM's npm package, installed by the
# Node.js binding check) are not the build's and are left out.
#
#   scripts/check-runpath.sh <folder>...
set -u
checked=0
bad=0
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" 2>/dev/null | od -An -c | tr -d ' \n')" = '177ELF' ] || continue
  checked=$((checked + 1))
  while IFS= read -r path; do
    # "a::b" and a trailing ":" hold empty elements; keep them as such.
    IFS=: read -r -a elements <<<"$path:"
    for e in "${elements[@]}"; do
      case $e in
        /* | '$ORIGIN' | '$ORIGIN/'* | '${ORIGIN}' | '${ORIGIN}/'*) ;;
        *) echo "$file: run path [$path] has the element '$e'"; bad=$((bad + 1)); break ;;
      esac
    done
  done < <(readelf -d "$file" 2>/dev/null | sed -n 's/.*(\(RUNPATH\|RPATH\)).*path: \[\(.*\)\]$/\2/p')
done < <(find "$@" -name node-ibmmq -prune -o -type f -print0)
echo "$checked ELF files checked, $bad with an empty or relative run path element"
[ "$checked" -gt 0 ] && [ "$bad" -eq 0 ]
