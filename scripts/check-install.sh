#!/usr/bin/env bash
# Checks the installed toolkit as an outside user sees it. From a finished build:
#   1. installs into a temporary prefix and checks the layout (versioned libraries with
#      their SONAMEs, headers, programs, manual pages, CMake package, pkg-config files,
#      run paths with no empty or relative element);
#   2. compares each library's exported symbols with its list in exports/, and finds no
#      undefined weak symbol of the toolkit's own in them;
#   3. checks that the README shows the example's code, then builds examples/ against the
#      installed tree with find_package (which must refuse an unknown component), and again
#      with the compiler and pkg-config flags alone (as C and as C++);
#   4. starts a stand-in queue manager with the installed vrqsim and runs the examples and
#      the installed vrqmq against it (stand-in builds only);
#   5. renders each manual page with man -l.
# Installs pkg-config and man-db when absent. Prints what failed; exits non-zero on failure.
#
#   scripts/check-install.sh [build dir]       (default: build/gcc)
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build/gcc}" && pwd) || { echo "FAILED: no build directory ${1:-build/gcc}"; exit 1; }
libraries=(vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign)
programs=(vrqmq vrrpl)
qm=VRQ.EXAMPLE.QM
failed=()
fail() { echo "FAILED: $*"; failed+=("$*"); }

work=$(mktemp -d)
prefix=$work/prefix
export VRQSIM_DIR=$work/qms
cleanup() {
  [ -x "$prefix/bin/vrqsim" ] && "$prefix/bin/vrqsim" stop "$qm" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# --- packages --------------------------------------------------------------------------
missing=()
command -v pkg-config >/dev/null || missing+=(pkg-config)
command -v man >/dev/null || missing+=(man-db)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" \
    || { echo "FAILED: apt-get install ${missing[*]}"; exit 1; }
fi

# --- 1. install and layout -------------------------------------------------------------
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"; echo "FAILED: cmake --install"; exit 1
fi
libdir=$(cd "$(dirname "$(ls -d "$prefix"/lib*/pkgconfig/vrqapi.pc 2>/dev/null | head -n 1)")/.." 2>/dev/null && pwd)
[ -n "$libdir" ] || { echo "FAILED: no vrqapi.pc installed"; exit 1; }
standin=0
[ -x "$prefix/bin/vrqsim" ] && standin=1

for lib in "${libraries[@]}"; do
  real=$(ls "$libdir"/lib$lib.so.*.*.* 2>/dev/null | head -n 1)
  if [ -z "$real" ]; then fail "layout: no versioned lib$lib.so"; continue; fi
  soname=$(readelf -d "$real" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ -e "$libdir/$soname" ] || fail "layout: lib$lib SONAME $soname not installed"
  [ -e "$libdir/lib$lib.so" ] || fail "layout: no development link lib$lib.so"
  [ -f "$prefix/include/$lib.h" ] || fail "layout: no include/$lib.h"
  [ -f "$libdir/pkgconfig/$lib.pc" ] || fail "layout: no $lib.pc"
done
for prog in "${programs[@]}"; do
  [ -x "$prefix/bin/$prog" ] || fail "layout: no bin/$prog"
  [ -f "$prefix/share/man/man1/$prog.1" ] || fail "layout: no man page $prog.1"
done
[ -f "$libdir/cmake/vrq/vrqConfig.cmake" ] || fail "layout: no CMake package"
if [ $standin = 1 ]; then
  [ -f "$prefix/include/vrq/mqi/cmqc.h" ] || fail "layout: no stand-in MQI headers"
  [ -e "$libdir/vrq/libmqm_r.so" ] && [ -e "$libdir/vrq/libmqic_r.so" ] || fail "layout: no stand-in libmqm_r and libmqic_r in lib/vrq"
  [ -f "$prefix/share/man/man1/vrqsim.1" ] || fail "layout: no man page vrqsim.1"
fi
# Installed programs find their libraries without help from the environment.
for exe in "$prefix"/bin/*; do
  if env -u LD_LIBRARY_PATH ldd "$exe" | grep -q 'not found'; then
    fail "layout: $(basename "$exe") has unresolved libraries"
  fi
done

# No run path element of an installed file is empty or relative (the current folder).
"$root/scripts/check-runpath.sh" "$prefix" || fail "layout: empty or relative run path elements"

# --- 2. exported symbols ---------------------------------------------------------------
for lib in "${libraries[@]}"; do
  list=$root/exports/$lib.txt
  if [ ! -f "$list" ]; then fail "exports: no exports/$lib.txt"; continue; fi
  "$root/scripts/update-exports.sh" --print "$libdir/lib$lib.so" >"$work/$lib.exports"
  if ! diff -u "$list" "$work/$lib.exports" >"$work/$lib.diff"; then
    echo "exports of $lib differ from exports/$lib.txt (+ exported now, - no longer exported):"
    grep '^[+-][^+-]' "$work/$lib.diff"
    fail "exports: $lib"
  fi
done

# No library leaves a name of its own for programs to define: an undefined weak symbol
# would let any program that happens to define it replace library behaviour unnoticed
# (the toolchain's own weak references are expected).
for lib in "${libraries[@]}"; do
  weak=$(nm -D --undefined-only "$libdir/lib$lib.so" | awk '$1 == "w" || $1 == "v" { print $2 }' |
         grep -Ev '^(_ITM_.*|__gmon_start__|__cxa_finalize(@.*)?|_Jv_RegisterClasses)$')
  [ -z "$weak" ] || fail "exports: lib$lib has undefined weak symbols: $(echo $weak)"
done

# --- 3. the outside example --------------------------------------------------------------
# The README shows the example's code: it must stay the code that is built here.
python3 - "$root/README.md" "$root/examples/inquire_queues.c" <<'PY' || fail "README: example code differs from examples/inquire_queues.c"
import sys
readme, source = (open(p).read() for p in sys.argv[1:])
marker = "<!-- example: examples/inquire_queues.c -->\n```c\n"
start = readme.find(marker)
block = readme[start + len(marker):readme.find("```", start + len(marker))] if start >= 0 else ""
sys.exit(0 if block.strip() and block in source else 1)
PY

example_cmake=$work/example-cmake
if cmake -S "$root/examples" -B "$example_cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
       >"$work/example.log" 2>&1 && cmake --build "$example_cmake" >>"$work/example.log" 2>&1; then
  :
else
  cat "$work/example.log"; fail "example: find_package build"
fi

# A component the package does not have must fail the consumer's configure.
mkdir -p "$work/no-component"
printf '%s\n' 'cmake_minimum_required(VERSION 3.20)' 'project(none LANGUAGES NONE)' \
  'find_package(vrq REQUIRED COMPONENTS vrqapi nosuchlib)' >"$work/no-component/CMakeLists.txt"
if cmake -S "$work/no-component" -B "$work/no-component/build" -DCMAKE_PREFIX_PATH="$prefix" \
     >/dev/null 2>&1; then
  fail "CMake package: an unknown component was accepted"
fi

# The README's pkg-config lines, run as they stand but for the prefix (its /opt/vrq/lib is
# this installation's library folder); the C++ example is built by the same compile line
# with c++ and the .cpp file. Step 4 runs both without LD_LIBRARY_PATH.
example_pc=$work/example-pc
mkdir -p "$example_pc"
cp "$root/examples/inquire_queues.c" "$root/examples/inquire_queues.cpp" "$example_pc/"
readme_pc=$(python3 - "$root/README.md" <<'PY'
import sys
lines = open(sys.argv[1]).read().split("\n")
marker = "<!-- pkg-config build: scripts/check-install.sh runs these lines with its own prefix -->"
at = lines.index(marker) + 1 if marker in lines else len(lines)
block = []
while at < len(lines) and lines[at].startswith("    "):
    block.append(lines[at][4:])
    at += 1
print("\n".join(block))
PY
)
if [ -z "$readme_pc" ]; then
  fail "README: no pkg-config lines after their marker"
else
  readme_pc=${readme_pc//\/opt\/vrq\/lib/$libdir}
  compile_line=$(grep '^cc ' <<<"$readme_pc")
  cxx_line=$(sed -e 's/^cc /c++ /' -e 's/inquire_queues\.c /inquire_queues.cpp /' -e 's/-o inquire_queues /-o inquire_queues_cxx /' <<<"$compile_line")
  (cd "$example_pc" && unset PKG_CONFIG_PATH && eval "$readme_pc") || fail "example: the README's pkg-config build (C)"
  (cd "$example_pc" && eval "$(grep '^export ' <<<"$readme_pc")" && eval "$cxx_line") \
    || fail "example: the README's pkg-config build (C++)"
fi
export PKG_CONFIG_PATH=$libdir/pkgconfig
for lib in "${libraries[@]}"; do
  pkg-config --exists --print-errors "$lib" || fail "pkg-config: $lib"
done

# --- 4. run against a stand-in queue manager -------------------------------------------
if [ $standin = 1 ]; then
  defs=$work/defs.mqsc
  printf '%s\n' "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)" \
                "DEFINE QLOCAL(EXAMPLE.IN)" "DEFINE QLOCAL(EXAMPLE.OUT)" >"$defs"
  export VXWMQ_HOME=$work/home
  mkdir -p "$VXWMQ_HOME/config/groups"
  if "$prefix/bin/vrqsim" create "$qm" -d "$defs" && "$prefix/bin/vrqsim" start "$qm"; then
    for exe in "$example_cmake/inquire_queues" "$example_cmake/inquire_queues_cxx" \
               "$example_pc/inquire_queues" "$example_pc/inquire_queues_cxx"; do
      [ -x "$exe" ] || continue
      out=$(env -u LD_LIBRARY_PATH "$exe" "$qm" 'EXAMPLE.*')
      status=$?
      if [ $status -ne 0 ] || [ "$out" != $'EXAMPLE.IN\nEXAMPLE.OUT' ]; then
        echo "$exe: status $status, output:"; echo "$out"
        fail "example run: ${exe#"$work"/}"
      fi
    done
    "$prefix/bin/vrqmq" "-m$qm" -b2 -w5000 >"$work/vrqmq.log" 2>&1 \
      || { cat "$work/vrqmq.log"; fail "installed vrqmq against $qm"; }
    "$prefix/bin/vrrpl" EXAMPLE.IN EXAMPLE.OUT "$qm" 100 >"$work/vrrpl.log" 2>&1
    grep -q 'no more messages' "$work/vrrpl.log" || { cat "$work/vrrpl.log"; fail "installed vrrpl against $qm"; }
    "$prefix/bin/vrqsim" stop "$qm" >/dev/null
  else
    fail "vrqsim: create and start $qm"
  fi
fi

# --- 5. manual pages -----------------------------------------------------------------------
for page in "$prefix"/share/man/man1/*.1; do
  if ! MANWIDTH=80 man --warnings -l "$page" >"$work/man.out" 2>"$work/man.err" || [ -s "$work/man.err" ] \
     || [ ! -s "$work/man.out" ]; then
    cat "$work/man.err"; fail "man -l $(basename "$page")"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  exit 1
fi
echo "install checks passed"
