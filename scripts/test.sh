#!/usr/bin/env bash
# The whole test run, as CI does it:
#   1. install what is missing (Debian packages, only when absent);
#   2. build with g++, warnings as errors, and run every test with CTest; then install that
#      build into a temporary prefix and check it as an outside program uses it
#      (scripts/check-install.sh: layout, export lists, example, manual pages);
#   3. build with clang++ under AddressSanitizer and UndefinedBehaviorSanitizer (fuzz targets
#      included) and run every test again;
#   4. run each fuzz target for a bounded time over its kept corpus, one per core at a time;
#   5. cross-build for 32-bit Windows with MinGW-w64 (VRQ_SKIP_WIN32=1 skips it);
#   6. cross-build for 64-bit Windows with the tests, and run them under wine64, with the
#      Windows vrqmq.exe and vrrpl.exe end to end against a stand-in queue manager on Linux
#      (VRQ_SKIP_WIN64=1 skips it);
#   7. compare the stand-in MQ headers with IBM's and build the tree against IBM's headers
#      (VRQ_SKIP_IBM=1 skips it).
# Prints each step's duration, every step and test that was skipped with its reason, what
# failed, and exits non-zero on any failure. With CI=true a skipped yardstick step (IBM's
# Node.js binding, IBM's headers, the Windows tests under Wine) is a failure too. Builds go
# through ccache when it is installed (its cache in build/ccache unless CCACHE_DIR is set).
#
# Environment: VRQ_JOBS (parallel build jobs, default: number of cores),
#              VRQ_FUZZ_SECONDS (per fuzz target, default 20), VRQ_SKIP_SAN=1, VRQ_SKIP_FUZZ=1,
#              VRQ_SKIP_WIN32=1, VRQ_SKIP_WIN64=1,
#              VRQ_SKIP_NODE=1, VRQ_SKIP_IBM=1, VRQ_SKIP_TSAN=1, VRQ_SKIP_PROMETHEUS=1.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${VRQ_JOBS:-$(nproc)}
fuzz_seconds=${VRQ_FUZZ_SECONDS:-20}
failed=()
skipped=()      # "<step>: <reason>"
ctest_runs=()   # "<label>=<build dir>" of each CTest run, for the skipped tests

durations=()
step_name=""
step_start=0
started=$SECONDS

# Ends the running step, printing how long it took.
end_step() {
  [ -n "$step_name" ] || return 0
  local d=$((SECONDS - step_start))
  printf -- '--- %s: %dm%02ds\n' "$step_name" $((d / 60)) $((d % 60))
  durations+=("$(printf '%3dm%02ds  %s' $((d / 60)) $((d % 60)) "$step_name")")
  step_name=""
}

step() {
  end_step
  step_name="$*"
  step_start=$SECONDS
  printf '\n=== %s ===\n' "$*"
}

# skip_step <yardstick: 0|1> <step> <reason>: notes a step that did not run; under CI=true a
# yardstick step that did not run fails the run.
skip_step() {
  skipped+=("$2: $3")
  printf 'SKIPPED: %s: %s\n' "$2" "$3"
  if [ "$1" = 1 ] && [ "${CI:-}" = true ]; then failed+=("$2 (skipped under CI=true: $3)"); fi
}

# run_skippable <log> <command...>: runs a check script that exits 2 when it cannot run here,
# its output shown and kept in <log>; the reason is its last "SKIPPED: " line.
run_skippable() {
  local log=$1; shift
  "$@" 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}
skip_reason() { sed -n 's/^SKIPPED: //p' "$1" | tail -n 1; }

install_packages() {  # packages...; installs those not installed yet
  local missing=() p sudo_cmd=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  step "installing ${missing[*]}"
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
}

# --- 1. packages ------------------------------------------------------------------------
packages=(cmake ninja-build ccache g++ clang libclang-rt-14-dev lld libgtest-dev libgmock-dev
          libbenchmark-dev libssl-dev libcrypt-dev netbase python3
          nlohmann-json3-dev prometheus lintian rpm dpkg-dev fakeroot file
          libcpp-httplib-dev libyaml-dev openssl curl)
# Node.js and npm for IBM's binding and IBM's headers; a node already installed (a newer one
# from elsewhere, with its own npm) is kept.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then packages+=(nodejs npm); fi
install_packages "${packages[@]}" || { echo "FAILED: apt-get install"; exit 1; }

# ccache keeps the compilers' results between runs; the first run fills it.
launchers=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-$root/build/ccache}
  export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # The builds the check scripts configure themselves (IBM headers) go through it too.
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

# --- 2. g++ build and tests ---------------------------------------------------------------
build_and_test() {  # name, build dir, cmake args...
  local name=$1 dir=$2; shift 2
  step "$name: configure"
  if ! cmake -S "$root" -B "$dir" -G Ninja "$@"; then failed+=("$name: configure"); return 1; fi
  step "$name: build"
  if ! cmake --build "$dir" -j "$jobs"; then failed+=("$name: build"); return 1; fi
  step "$name: tests"
  ctest_runs+=("$name=$dir")
  if ! (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600); then failed+=("$name: tests"); return 1; fi
}

build_and_test "g++" build/gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DVRQ_WERROR=ON "${launchers[@]}"
gcc_ok=$?

# --- 2b. install, outside example, manual pages, export lists ------------------------------
if [ "$gcc_ok" -eq 0 ]; then
  step "install check"
  "$root/scripts/check-install.sh" build/gcc || failed+=("install check")
fi

# --- 2c. IBM's Node.js binding against the stand-in MQ -------------------------------------
# IBM's npm package ibmmq (its native part compiled against IBM's headers it carries) runs
# IBM's sample programs and tests/mqi/node/standin_check.js through libmqm_r and libmqic_r.
# An unreachable npm registry skips it with a note, any other npm failure fails it;
# VRQ_SKIP_NODE=1 skips it.
if [ "${VRQ_SKIP_NODE:-0}" = 1 ]; then
  skip_step 1 "Node.js binding" "VRQ_SKIP_NODE=1"
elif [ "$gcc_ok" -ne 0 ]; then
  skip_step 0 "Node.js binding" "the g++ build failed"
else
  step "IBM Node.js binding against the stand-in MQ"
  run_skippable build/node-binding.log "$root/scripts/node-binding-check.sh" build/gcc
  case $? in
    0) ;;
    2) skip_step 1 "Node.js binding" "$(skip_reason build/node-binding.log)" ;;
    *) failed+=("Node.js binding") ;;
  esac
fi

# --- 3. clang++ with sanitizers ------------------------------------------------------------
if [ "${VRQ_SKIP_SAN:-0}" = 1 ]; then
  skip_step 0 "clang++ ASan+UBSan and fuzz" "VRQ_SKIP_SAN=1"
else
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  build_and_test "clang++ ASan+UBSan" build/clang-san -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVRQ_WERROR=ON \
    -DVRQ_SANITIZE=ON -DVRQ_FUZZ=ON -DVRQ_BENCH=OFF "${launchers[@]}"
  san_ok=$?

  # --- 4. fuzz targets --------------------------------------------------------------------
  # Each target runs alone on one core, so as many run at once as there are build jobs.
  if [ "${VRQ_SKIP_FUZZ:-0}" = 1 ]; then
    skip_step 0 "fuzz" "VRQ_SKIP_FUZZ=1"
  elif [ "$san_ok" -ne 0 ]; then
    skip_step 0 "fuzz" "the sanitizer build or its tests failed"
  else
    mapfile -t fuzzers < <(find build/clang-san/fuzz -type f -executable -name 'fuzz_*' 2>/dev/null | sort)
    step "fuzz: ${#fuzzers[@]} targets, ${fuzz_seconds}s each, $jobs at a time"
    # Every kept corpus has its target: fewer targets than corpora means some were not built.
    corpora=$(find fuzz/corpus -mindepth 1 -maxdepth 1 -type d | wc -l)
    if [ "${#fuzzers[@]}" -lt "$corpora" ] || [ "${#fuzzers[@]}" -eq 0 ]; then
      echo "fuzz: ${#fuzzers[@]} targets built, fuzz/corpus holds $corpora"
      failed+=("fuzz: ${#fuzzers[@]} targets, at least $corpora expected")
    fi
    fuzz_dir=$(mktemp -d)
    run_fuzzer() {  # exe; leaves <name>.log and <name>.ok in $fuzz_dir
      local exe=$1 name work
      name=$(basename "$exe"); name=${name#fuzz_}
      mkdir -p "$root/fuzz/corpus/$name" "$fuzz_dir/$name"
      work=$fuzz_dir/$name
      "$exe" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$work/" \
        -print_final_stats=1 "$work" "$root/fuzz/corpus/$name" >"$work.log" 2>&1 && touch "$work.ok"
    }
    running=0
    for exe in "${fuzzers[@]}"; do
      if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
      run_fuzzer "$exe" &
      running=$((running + 1))
    done
    wait
    for exe in "${fuzzers[@]}"; do
      name=$(basename "$exe"); name=${name#fuzz_}
      work=$fuzz_dir/$name
      if [ -f "$work.ok" ]; then
        printf '%s: %s\n' "$name" "$(grep -E 'stat::number_of_executed_units' "$work.log" | tail -n 1)"
      else
        echo "fuzz $name FAILED:"; tail -n 40 "$work.log"
        mkdir -p build/fuzz-crashes && cp "$work"/crash-* "$work"/timeout-* "$work"/oom-* build/fuzz-crashes/ 2>/dev/null
        failed+=("fuzz $name")
      fi
    done
    rm -rf "$fuzz_dir"
  fi
fi

# --- 5./6. Windows cross builds (MinGW-w64) ------------------------------------------------
# check_windows_dlls <name> <build dir> <objdump>: each DLL and program imports the DLLs it
# calls, and each DLL exports exactly its Windows list (exports/win32/, renewed with
# scripts/update-exports.sh --win32); the lists hold for both Windows targets.
check_windows_dlls() {
  local name=$1 dir=$2 objdump=$3 file needs dll imports lib
  step "$name: imports"
  # <file> <DLLs it must import>
  while read -r file needs; do
    imports=$($objdump -p "$dir/bin/$file" 2>/dev/null | sed -n 's/^\s*DLL Name: //p')
    for dll in $needs; do
      if ! grep -qix "$dll" <<<"$imports"; then
        echo "$file does not import $dll"; failed+=("$name: $file imports"); break
      fi
    done
  done <<'LIST'
vrqapi.dll
vrqcrypt.dll
vrqsign.dll vrqapi.dll vrqcrypt.dll
vrqmqtx.dll vrqapi.dll mqm.dll
vrqclnx.dll vrqapi.dll vrqsign.dll ws2_32.dll
mqm.dll ws2_32.dll
vrqmq.exe vrqapi.dll vrqmqtx.dll vrqclnx.dll
vrrpl.exe mqm.dll
LIST
  step "$name: exports"
  for lib in vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign; do
    if ! diff -u "exports/win32/$lib.txt" <(scripts/update-exports.sh --print-dll "$dir/bin/$lib.dll") \
         >"$dir/$lib.exports.diff"; then
      echo "exports of $lib.dll differ from exports/win32/$lib.txt (+ exported now, - no longer exported):"
      grep '^[-+][^-+]' "$dir/$lib.exports.diff" | head -n 40
      failed+=("$name: $lib.dll exports")
    fi
  done
  scripts/update-exports.sh --print-dll "$dir/bin/mqm.dll" | grep -qx MQCONN \
    || { echo "mqm.dll does not export MQCONN"; failed+=("$name: mqm.dll exports"); }
}

# 5. The shipped Windows target, 32-bit: the five DLLs, mqm.dll (the stand-in MQ client) and
# both programs, with their imports and exports checked. Its programs are not run: the
# machine runs no 32-bit programs natively, and 32-bit Wine under user-mode emulation
# (qemu-i386) takes over ten minutes to make its prefix and five or more to start each
# program. The 64-bit build of step 6 runs the same sources.
if [ "${VRQ_SKIP_WIN32:-0}" = 1 ]; then
  skip_step 0 "win32 build" "VRQ_SKIP_WIN32=1"
else
  install_packages g++-mingw-w64-i686 || failed+=("win32: apt-get install g++-mingw-w64-i686")
  win=build/win32
  step "win32: configure"
  if ! cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRQ_WERROR=ON -DVRQ_TESTS=OFF -DVRQ_BENCH=OFF "${launchers[@]}"; then
    failed+=("win32: configure")
  else
    step "win32: build"
    if ! cmake --build "$win" -j "$jobs"; then
      failed+=("win32: build")
    else
      check_windows_dlls win32 "$win" i686-w64-mingw32-objdump
    fi
  fi
fi

# 6. 64-bit Windows: the same DLLs and programs and the test programs (GoogleTest built from
# Debian's source package), run under wine64 with a prefix of their own in the build folder
# and one wineserver kept running for all of them. With the g++ build at hand, its vrqmq and
# vrrpl end-to-end tests also run the Windows programs (wine.* tests) against a stand-in
# queue manager on Linux, reached over loopback TCP.
if [ "${VRQ_SKIP_WIN64:-0}" = 1 ]; then
  skip_step 1 "win64 tests under Wine" "VRQ_SKIP_WIN64=1"
else
  install_packages g++-mingw-w64-x86-64 wine64 googletest \
    || failed+=("win64: apt-get install g++-mingw-w64-x86-64 wine64 googletest")
  win=build/win64
  linux_build=()
  if [ "$gcc_ok" -eq 0 ]; then
    linux_build=(-DVRQ_LINUX_BUILD="$root/build/gcc")
  else
    skip_step 0 "win64: vrqmq and vrrpl end to end under Wine" "the g++ build failed"
  fi
  step "win64: configure"
  if ! cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRQ_WERROR=ON -DVRQ_BENCH=OFF "${linux_build[@]}" "${launchers[@]}"; then
    failed+=("win64: configure")
  else
    step "win64: build"
    if ! cmake --build "$win" -j "$jobs"; then
      failed+=("win64: build")
    else
      check_windows_dlls win64 "$win" x86_64-w64-mingw32-objdump
      step "win64: Wine prefix"
      export WINEPREFIX="$root/$win/wine" WINEDEBUG=-all
      wine=/usr/lib/wine/wine64
      # The persistent server first (it needs the prefix folder), then the prefix itself.
      mkdir -p "$WINEPREFIX"
      if ! /usr/lib/wine/wineserver -p || ! "$wine" wineboot --init >/dev/null 2>&1; then
        failed+=("win64: Wine prefix")
      else
        step "win64: tests under Wine"
        ctest_runs+=("win64=$win")
        (cd "$win" && ctest --output-on-failure -j "$jobs" --timeout 900) || failed+=("win64: tests")
      fi
      /usr/lib/wine/wineserver -k 2>/dev/null
      unset WINEPREFIX WINEDEBUG
    fi
  fi
fi

# --- 7. against IBM's own headers ----------------------------------------------------------
# The stand-in headers compared with IBM's cmqc.h and cmqxc.h constant by constant and
# structure by structure (64-bit, 32-bit, 32-bit Windows), the whole tree built and tested in
# real-MQ mode against them, and the Windows sources compiled against IBM's Windows cmqc.h
# (scripts/check-ibm-headers.sh). IBM's headers come from the npm package ibmmq; when the
# registry cannot be reached the step says so and is skipped. VRQ_SKIP_IBM=1 skips it.
if [ "${VRQ_SKIP_IBM:-0}" = 1 ]; then
  skip_step 1 "IBM headers" "VRQ_SKIP_IBM=1"
elif [ "$gcc_ok" -ne 0 ]; then
  skip_step 0 "IBM headers" "the g++ build failed"
else
  step "IBM headers"
  touch build/.ibm-headers-started
  run_skippable build/ibm-headers.log "$root/scripts/check-ibm-headers.sh" build/gcc build/win32
  case $? in
    0) ;;
    2) skip_step 1 "IBM headers" "$(skip_reason build/ibm-headers.log), nothing was compared" ;;
    *) failed+=("IBM headers") ;;
  esac
  while IFS= read -r part; do skip_step 0 "IBM headers" "$part"; done \
    < <(sed -n 's/^SKIPPED PART: //p' build/ibm-headers.log)
  [ build/gcc-ibm-headers/Testing/Temporary/LastTest.log -nt build/.ibm-headers-started ] && ctest_runs+=("IBM headers=build/gcc-ibm-headers")
fi

# --- generated files: regenerated from the repository, byte for byte (about 2 s) -----------
step "generated files"
"$root/scripts/check-generated.sh" || failed+=("generated files")
# --- Debian and RPM packages ---------------------------------------------------------------
# Made from the g++ build's objects (through ccache) in build/pkg, linted, installed into
# this machine, used against a stand-in queue manager, purged again with nothing left
# behind; the RPMs' metadata and file lists checked (scripts/check-packages.sh, about a
# minute; it needs root). VRQ_SKIP_PACKAGES=1 skips it.
if [ "${VRQ_SKIP_PACKAGES:-0}" = 1 ]; then
  skip_step 1 "packages" "VRQ_SKIP_PACKAGES=1"
elif [ "$gcc_ok" -ne 0 ]; then
  skip_step 0 "packages" "the g++ build failed"
else
  step "Debian and RPM packages"
  pkg_sudo=""; [ "$(id -u)" -ne 0 ] && pkg_sudo="sudo -E"
  $pkg_sudo "$root/scripts/check-packages.sh" build/pkg || failed+=("packages")
fi

# --- ThreadSanitizer over vrqmq's serve mode (a few minutes: its tests, vrqmq, vrqsim) -------
if [ "${VRQ_SKIP_TSAN:-0}" != 1 ]; then
  step "ThreadSanitizer: serve mode"
  "$root/scripts/tsan-check.sh" build/clang-tsan || failed+=("ThreadSanitizer: serve mode")
fi

# --- vrqmq --serve behind a real Prometheus server (about a minute) ------------------------
if [ "${gcc_ok:-1}" -eq 0 ] && [ "${VRQ_SKIP_PROMETHEUS:-0}" != 1 ]; then
  step "vrqmq --serve behind Prometheus"
  "$root/scripts/prometheus-check.sh" build/gcc || failed+=("vrqmq --serve behind Prometheus")
fi

# --- TLS channels: IBM's Node.js binding through libmqic_r over TLS (about 10 s) ----------
# Needs the ibmmq package step 2c installed; skips with a note when it is not there.
if [ "$gcc_ok" -eq 0 ] && [ "${VRQ_SKIP_NODE:-0}" != 1 ]; then
  step "IBM Node.js binding over TLS channels"
  install_packages openssl || failed+=("TLS: apt-get install openssl")
  "$root/scripts/node-tls-check.sh" build/gcc || failed+=("Node.js binding over TLS")
fi

# --- summary -------------------------------------------------------------------------------
end_step
printf '\n=== durations ===\n'
printf '%s\n' "${durations[@]}"
total=$((SECONDS - started))
printf '%3dm%02ds  whole run\n' $((total / 60)) $((total % 60))
printf '\n=== skipped ===\n'
mkdir -p build
{
  [ ${#skipped[@]} -gt 0 ] && printf 'step  %s\n' "${skipped[@]}"
  [ ${#ctest_runs[@]} -gt 0 ] && python3 "$root/scripts/ctest_skipped.py" "${ctest_runs[@]}"
} | tee build/skipped.txt
[ -s build/skipped.txt ] || echo "nothing was skipped"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "all steps passed"
