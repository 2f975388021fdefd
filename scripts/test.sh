#!/usr/bin/env bash
# The whole test run, as CI does it:
#   1. install what is missing (Debian packages, only when absent);
#   2. build with g++, warnings as errors, and run every test with CTest; then install that
#      build into a temporary prefix and check it as an outside program uses it
#      (scripts/check-install.sh: layout, export lists, example, manual pages);
#   3. build with clang++ under AddressSanitizer and UndefinedBehaviorSanitizer (fuzz targets
#      included) and run every test again;
#   4. run each fuzz target for a bounded time over its kept corpus;
#   5. cross-build for 32-bit Windows with MinGW-w64 (VRQ_SKIP_WIN32=1 skips it);
#   6. compare the stand-in MQ headers with IBM's and build the tree against IBM's headers
#      (VRQ_SKIP_IBM=1 skips it).
# Prints what failed and exits non-zero on any failure.
#
# Environment: VRQ_JOBS (parallel build jobs, default: number of cores),
#              VRQ_FUZZ_SECONDS (per fuzz target, default 20), VRQ_SKIP_SAN=1, VRQ_SKIP_FUZZ=1,
#              VRQ_SKIP_WIN32=1, VRQ_SKIP_IBM=1.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${VRQ_JOBS:-$(nproc)}
fuzz_seconds=${VRQ_FUZZ_SECONDS:-20}
failed=()

step() { printf '\n=== %s ===\n' "$*"; }

# --- 1. packages ------------------------------------------------------------------------
packages=(cmake ninja-build g++ clang libclang-rt-14-dev lld libgtest-dev libgmock-dev
          libbenchmark-dev libssl-dev libcrypt-dev netbase python3
          nlohmann-json3-dev prometheus)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" \
    || { echo "FAILED: apt-get install ${missing[*]}"; exit 1; }
fi

# --- 2. g++ build and tests ---------------------------------------------------------------
build_and_test() {  # name, build dir, cmake args...
  local name=$1 dir=$2; shift 2
  step "$name: configure"
  if ! cmake -S "$root" -B "$dir" -G Ninja "$@"; then failed+=("$name: configure"); return 1; fi
  step "$name: build"
  if ! cmake --build "$dir" -j "$jobs"; then failed+=("$name: build"); return 1; fi
  step "$name: tests"
  if ! (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600); then failed+=("$name: tests"); return 1; fi
}

build_and_test "g++" build/gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DVRQ_WERROR=ON
gcc_ok=$?

# --- 2b. install, outside example, manual pages, export lists ------------------------------
if [ "$gcc_ok" -eq 0 ]; then
  step "install check"
  "$root/scripts/check-install.sh" build/gcc || failed+=("install check")
fi

# --- 2c. IBM's Node.js binding against the stand-in MQ -------------------------------------
# IBM's npm package ibmmq (its native part compiled against IBM's headers it carries) runs
# IBM's sample programs and tests/mqi/node/standin_check.js through libmqm_r and libmqic_r.
# No node/npm or an unreachable npm registry skips it with a note; VRQ_SKIP_NODE=1 skips it.
if [ "$gcc_ok" -eq 0 ] && [ "${VRQ_SKIP_NODE:-0}" != 1 ]; then
  step "IBM Node.js binding against the stand-in MQ"
  "$root/scripts/node-binding-check.sh" build/gcc || failed+=("Node.js binding")
fi

# --- 3. clang++ with sanitizers ------------------------------------------------------------
if [ "${VRQ_SKIP_SAN:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  build_and_test "clang++ ASan+UBSan" build/clang-san -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVRQ_WERROR=ON \
    -DVRQ_SANITIZE=ON -DVRQ_FUZZ=ON -DVRQ_BENCH=OFF
  san_ok=$?

  # --- 4. fuzz targets --------------------------------------------------------------------
  if [ "$san_ok" -eq 0 ] && [ "${VRQ_SKIP_FUZZ:-0}" != 1 ]; then
    while IFS= read -r exe; do
      name=$(basename "$exe"); name=${name#fuzz_}
      corpus="$root/fuzz/corpus/$name"
      mkdir -p "$corpus"
      work=$(mktemp -d)
      step "fuzz $name (${fuzz_seconds}s)"
      if ! "$exe" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$work/" \
             -print_final_stats=1 "$work" "$corpus" >"$work.log" 2>&1; then
        tail -n 40 "$work.log"
        mkdir -p build/fuzz-crashes && cp "$work"/crash-* "$work"/timeout-* "$work"/oom-* build/fuzz-crashes/ 2>/dev/null
        failed+=("fuzz $name")
      else
        grep -E 'stat::number_of_executed_runs|Done' "$work.log" | tail -n 2
      fi
      rm -rf "$work" "$work.log"
    done < <(find build/clang-san/fuzz -type f -executable -name 'fuzz_*' 2>/dev/null | sort)
  fi
fi

# --- 5. 32-bit Windows cross build (MinGW-w64) ---------------------------------------------
# Builds the five DLLs, mqm.dll (the stand-in MQ client) and both programs for i686
# Windows, then checks that each DLL imports the DLLs it calls and exports exactly its
# Windows list (exports/win32/). The programs are not run: the machine runs no 32-bit
# programs natively, and 32-bit Wine under user-mode emulation (qemu-i386) takes over ten
# minutes to make its prefix and five or more to start each program.
if [ "${VRQ_SKIP_WIN32:-0}" != 1 ]; then
  if ! dpkg-query -W -f='${Status}' g++-mingw-w64-i686 2>/dev/null | grep -q 'install ok installed'; then
    step "installing g++-mingw-w64-i686"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq g++-mingw-w64-i686 \
      || failed+=("win32: apt-get install g++-mingw-w64-i686")
  fi
  win=build/win32
  step "win32: configure"
  if ! cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRQ_WERROR=ON -DVRQ_TESTS=OFF -DVRQ_BENCH=OFF; then
    failed+=("win32: configure")
  else
    step "win32: build"
    if ! cmake --build "$win" -j "$jobs"; then
      failed+=("win32: build")
    else
      step "win32: imports"
      # <file> <DLLs it must import>
      while read -r file needs; do
        imports=$(i686-w64-mingw32-objdump -p "$win/$file" 2>/dev/null | sed -n 's/^\s*DLL Name: //p')
        for dll in $needs; do
          if ! grep -qix "$dll" <<<"$imports"; then
            echo "$file does not import $dll"; failed+=("win32: $file imports"); break
          fi
        done
      done <<'LIST'
common/vrqapi.dll
crypt/vrqcrypt.dll
sign/vrqsign.dll vrqapi.dll vrqcrypt.dll
mqtx/vrqmqtx.dll vrqapi.dll mqm.dll
clnx/vrqclnx.dll vrqapi.dll vrqsign.dll ws2_32.dll
mqi/mqm.dll ws2_32.dll
tools/ping/vrqmq.exe vrqapi.dll vrqmqtx.dll vrqclnx.dll
tools/reply/vrrpl.exe mqm.dll
LIST
      step "win32: exports"
      # Each DLL exports exactly its Windows list (scripts/update-exports.sh --win32 renews them).
      for lib in common/vrqapi mqtx/vrqmqtx clnx/vrqclnx crypt/vrqcrypt sign/vrqsign; do
        name=${lib#*/}
        if ! diff -u "exports/win32/$name.txt" <(scripts/update-exports.sh --print-dll "$win/$lib.dll") \
             >"$win/$name.exports.diff"; then
          echo "exports of $name.dll differ from exports/win32/$name.txt (+ exported now, - no longer exported):"
          grep '^[-+][^-+]' "$win/$name.exports.diff" | head -n 40
          failed+=("win32: $name.dll exports")
        fi
      done
      scripts/update-exports.sh --print-dll "$win/mqi/mqm.dll" | grep -qx MQCONN \
        || { echo "mqm.dll does not export MQCONN"; failed+=("win32: mqm.dll exports"); }
    fi
  fi
fi

# --- 6. against IBM's own headers ----------------------------------------------------------
# The stand-in headers compared with IBM's cmqc.h and cmqxc.h constant by constant and
# structure by structure (64-bit, 32-bit, 32-bit Windows), the whole tree built and tested in
# real-MQ mode against them, and the Windows sources compiled against IBM's Windows cmqc.h
# (scripts/check-ibm-headers.sh). IBM's headers come from the npm package ibmmq; when the
# registry cannot be reached the step says so and is skipped. VRQ_SKIP_IBM=1 skips it.
if [ "${VRQ_SKIP_IBM:-0}" != 1 ]; then
  if [ "$gcc_ok" -ne 0 ]; then
    step "IBM headers: skipped, the g++ build failed"
  else
    step "IBM headers"
    ibm_start=$SECONDS
    "$root/scripts/check-ibm-headers.sh" build/gcc build/win32
    case $? in
      0) ;;
      2) step "IBM headers: SKIPPED (see above), nothing was compared" ;;
      *) failed+=("IBM headers") ;;
    esac
    echo "IBM headers step: $((SECONDS - ibm_start)) s"
  fi
fi

# --- summary -------------------------------------------------------------------------------
step "summary"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "all steps passed"
