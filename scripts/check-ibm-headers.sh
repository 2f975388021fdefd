#!/usr/bin/env bash
# Holds the stand-in MQ headers and the code written against them to IBM's own headers.
#
#   scripts/check-ibm-headers.sh <g++ build dir> [<win32 build dir>]
#
# IBM's Node.js binding (npm package ibmmq) ships IBM MQ's cmqc.h and cmqxc.h for Linux
# (src/unix/, src/cmqxc.h) and Windows (src/windows/). The package is fetched with
# `npm pack`, which runs none of its install scripts (so IBM's client is not downloaded),
# and unpacked into a temporary directory that is removed at the end; no IBM file enters
# the repository. First, without IBM's headers, scripts/check_mq_includes.py checks that
# every source file includes the MQ headers it uses in IBM's order. Then:
#   1. scripts/compare_mq_headers.py compares every constant, string, default initialiser,
#      structure layout and type of IBM's two headers with the stand-in's: 64-bit with gcc,
#      32-bit with gcc -m32, and 32-bit Windows with MinGW against IBM's Windows cmqc.h;
#   2. the whole tree is built in real-MQ mode (VRQ_MQ_HOME with IBM's cmqc.h and cmqxc.h,
#      the stand-in's cmqcfc.h, cmqzc.h, cmqbc.h, cmqstrc.h, and the stand-in client library
#      of the g++ build) in <g++ build dir>-ibm-headers, warnings as errors, and its tests
#      run: those that need the stand-in queue manager skip themselves. The package ships no
#      cmqstrc.h; the stand-in's has IBM's form (each MQxxx_STR an ordinary char * function
#      defined in the header), so the build meets what an installation's inc/ holds;
#   3. every source of the 32-bit Windows build (when its build dir is given and configured)
#      is compiled again against IBM's Windows cmqc.h.
# Exit status: 0 all passed, 1 something failed (npm included: a cache, disk or
# authentication fault, a missing version, a call past its time limit), 2 skipped because npm
# is missing or the npm registry could not be reached (no route, DNS failure, connection
# refused or timed out; the line "SKIPPED: <reason>" says which). Each comparison must cover
# at least VRQ_MIN_COMPARED items (default 4000; IBM's 9.4 headers give about 4300), or it fails. VRQ_IBMMQ_VERSION picks the
# package version.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/npm-call.sh"
gcc_build=$(cd "${1:?usage: check-ibm-headers.sh <g++ build dir> [<win32 build dir>]}" && pwd)
win_build=${2:-}
jobs=${VRQ_JOBS:-$(nproc)}
version=${VRQ_IBMMQ_VERSION:-2.1.9}
failed=()

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
say() { printf -- '--- %s\n' "$*"; }

say "MQ includes of every source file"
python3 "$root/scripts/check_mq_includes.py" "$root" || failed+=("MQ includes")
skip() {  # reason
  echo "SKIPPED: $1"
  [ ${#failed[@]} -gt 0 ] && { printf 'FAILED: %s\n' "${failed[@]}"; exit 1; }
  exit 2
}
command -v npm >/dev/null 2>&1 || skip "npm is not installed, IBM's headers cannot be fetched"
npm_call 300 "$work/npm.log" pack --pack-destination "$work" "ibmmq@$version"
case $? in
  0) ;;
  2) skip "$NPM_FAILURE" ;;
  *) tail -n 10 "$work/npm.log"; failed+=("IBM headers: $NPM_FAILURE"); printf 'FAILED: %s\n' "${failed[@]}"; exit 1 ;;
esac
tar -xzf "$work"/ibmmq-*.tgz -C "$work" || { echo "FAILED: cannot unpack ibmmq@$version"; exit 1; }
ibm=$work/package/src
for f in unix/cmqc.h windows/cmqc.h cmqxc.h; do
  [ -f "$ibm/$f" ] || { echo "FAILED: ibmmq@$version has no src/$f"; exit 1; }
done
mkdir -p "$work/linux" "$work/windows"
cp -p "$ibm/unix/cmqc.h" "$ibm/cmqxc.h" "$work/linux/"
cp -p "$ibm/windows/cmqc.h" "$ibm/cmqxc.h" "$work/windows/"

# --- 1. constants, strings, initialisers, layouts, types --------------------------------------
compare() {  # label, IBM dir, compiler...
  local label=$1 dir=$2; shift 2
  python3 "$root/scripts/compare_mq_headers.py" --ibm "$dir" --standin "$root/mqi/include" \
    --work "$work/compare-$label" --cc "$*" --label "$label" --min-items "${VRQ_MIN_COMPARED:-4000}" \
    | tail -n 40
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed+=("IBM headers: $label comparison")
}
say "comparing the stand-in headers with IBM's"
compare 64-bit "$work/linux" gcc
echo '#include <stddef.h>' >"$work/m32.c"
if gcc -m32 -c "$work/m32.c" -o "$work/m32.o" 2>/dev/null; then
  compare 32-bit "$work/linux" gcc -m32
else
  echo "SKIPPED PART: 32-bit Linux comparison, gcc -m32 cannot compile here (the Windows compiler's 32-bit comparison stands in)"
fi
mingw=$(command -v i686-w64-mingw32-gcc-posix || command -v i686-w64-mingw32-gcc || true)
if [ -n "$mingw" ]; then
  compare win32 "$work/windows" "$mingw"
else
  echo "win32: no i686-w64-mingw32-gcc, IBM's Windows header not compared"
  failed+=("IBM headers: win32 comparison (no MinGW compiler)")
fi

# --- 2. the whole tree in real-MQ mode ---------------------------------------------------------
# The build dir and its MQ folder stay for the next run; the files keep their times (cp -p),
# so that a later run rebuilds only what changed. The MQ folder lies outside the source tree,
# which an installable include folder must.
real=$gcc_build-ibm-headers
mqhome=${TMPDIR:-/tmp}/vrq-ibm-mq-$(id -u)-$(printf '%s' "$root" | cksum | cut -d' ' -f1)
mkdir -p "$mqhome/inc" "$mqhome/lib64"
cp -p "$work/linux/cmqc.h" "$work/linux/cmqxc.h" "$mqhome/inc/"
for h in cmqcfc.h cmqzc.h cmqbc.h cmqstrc.h; do
  [ -f "$root/mqi/include/$h" ] && cp -p "$root/mqi/include/$h" "$mqhome/inc/"
done
if [ -f "$gcc_build/mqi/libmqm_r.so" ]; then
  cp -p "$gcc_build/mqi/libmqm_r.so" "$mqhome/lib64/"
  say "real-MQ build against IBM's cmqc.h and cmqxc.h ($real)"
  if ! cmake -S "$root" -B "$real" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=gcc \
         -DCMAKE_CXX_COMPILER=g++ -DVRQ_WERROR=ON -DVRQ_MQ_HOME="$mqhome" >"$work/configure.log" 2>&1; then
    tail -n 20 "$work/configure.log"; failed+=("IBM headers: real-MQ configure")
  elif ! grep -q "IBM MQ found in $mqhome" "$work/configure.log"; then
    echo "the build did not take the real-MQ mode"; failed+=("IBM headers: real-MQ configure")
  elif ! cmake --build "$real" -j "$jobs"; then
    failed+=("IBM headers: real-MQ build")
  elif ! (cd "$real" && ctest --output-on-failure -j "$jobs" --timeout 600 | tail -n 15; exit "${PIPESTATUS[0]}"); then
    failed+=("IBM headers: real-MQ tests")
  fi
else
  echo "no $gcc_build/mqi/libmqm_r.so: the g++ build has no stand-in client library to link"
  failed+=("IBM headers: real-MQ build (no stand-in library)")
fi

# --- 3. the Windows build's sources against IBM's Windows cmqc.h --------------------------------
if [ -n "$win_build" ] && [ -f "$win_build/compile_commands.json" ]; then
  say "32-bit Windows sources against IBM's Windows cmqc.h"
  wininc=$work/wininc
  mkdir -p "$wininc"
  cp "$work/windows/cmqc.h" "$work/windows/cmqxc.h" "$wininc/"
  for h in cmqcfc.h cmqzc.h cmqbc.h cmqstrc.h; do
    [ -f "$root/mqi/include/$h" ] && cp "$root/mqi/include/$h" "$wininc/"
  done
  python3 - "$win_build/compile_commands.json" "$root/mqi/include" "$wininc" "$jobs" <<'EOF' \
    || failed+=("IBM headers: win32 sources")
import concurrent.futures, json, shlex, subprocess, sys
db, standin, ibm, jobs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def check(entry):
    args = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    out, skip = [], False
    for a in args:
        if skip:
            skip = False
            continue
        if a == "-o":
            skip = True
            continue
        # IBM's headers come in as system headers, as in the real-MQ mode of the build.
        if a == "-I" + standin:
            out += ["-isystem", ibm]
        else:
            out.append(a.replace(standin, ibm))
    r = subprocess.run(out + ["-fsyntax-only"], cwd=entry["directory"], capture_output=True, text=True)
    return entry["file"], r.returncode, r.stderr
entries = json.load(open(db))
with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
    results = list(pool.map(check, entries))
bad = [r for r in results if r[1]]
for f, _, err in bad:
    print(f"{f}:\n{err[:3000]}")
print(f"{len(results) - len(bad)} of {len(results)} Windows sources compile against IBM's Windows cmqc.h")
sys.exit(1 if bad else 0)
EOF
fi

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "the stand-in headers match IBM's and the tree builds against IBM's headers"
