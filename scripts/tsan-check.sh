#!/usr/bin/env bash
# ThreadSanitizer over what vrqmq's serve mode runs: builds the serve-mode tests, vrqmq and
# the stand-in queue manager with clang -fsanitize=thread (build/clang-tsan, nothing else
# of the tree) and runs the serve-mode tests, whose HTTP test starts this vrqmq too. A
# report from the test program or from vrqmq fails the step.
#
# Usage: scripts/tsan-check.sh [build dir]     (default build/clang-tsan; VRQ_JOBS jobs)
set -u
cd "$(dirname "$0")/.."
dir=${1:-build/clang-tsan}
launchers=()
command -v ccache >/dev/null && launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DVRQ_WERROR=ON -DVRQ_TSAN=ON -DVRQ_BENCH=OFF "${launchers[@]}" >/dev/null \
  || { echo "tsan-check: configure failed"; exit 1; }
grep -q '^VRQ_SERVE:INTERNAL=ON' "$dir/CMakeCache.txt" \
  || { echo "tsan-check: no serve mode in this build (cpp-httplib missing)"; exit 1; }
cmake --build "$dir" -j "${VRQ_JOBS:-$(nproc)}" --target test_ping_serve vrqmq vrqsim \
  || { echo "tsan-check: build failed"; exit 1; }
# exitcode=66 for any report; the HTTP test checks vrqmq's own exit status on SIGTERM.
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
(cd "$dir" && ctest -R '^ping_serve\.' --output-on-failure --timeout 600)
