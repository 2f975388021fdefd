#!/usr/bin/env bash
# Builds the Debian and RPM packages and checks them as an administrator uses them:
#   1. configures a package build (prefix /usr, -DVRQ_PACKAGE=DEB, no tests or benchmarks;
#      through ccache its objects are the g++ build's), makes the .deb files with cpack,
#      then lays the same build out for RPM (lib64) and makes the .rpm files;
#   2. runs lintian on the .deb files: no error and no warning may remain (overrides, each
#      with its reason, are in packaging/debian/<component>/lintian-overrides);
#   3. installs them with apt-get install ./*.deb (after purging what an earlier run left
#      installed), and checks the programs on the PATH, the conffile, the service unit
#      (systemd-analyze verify) and its system user;
#   4. pings a stand-in queue manager, started with the installed vrqsim, with the vrqmq
#      found on the PATH, runs vrrpl against it, and builds examples/ against the installed
#      -dev package with find_package and with pkg-config (C and C++) and runs them;
#   5. purges the packages and compares a list of the files under /usr, /etc, /var/lib and
#      /opt with the one taken before the installation: nothing may be left behind but the
#      system user vrqmq, which stays as Debian keeps system users;
#   6. checks the RPMs' metadata (rpm -qpi), requirements (rpm -qpR: one another at this
#      version, no stand-in client library by name, the system libraries), configuration
#      file, licence files and file lists (rpm -qpl: the .deb file lists with the RPM
#      folders), and that they own no folder of the system.
# Needs root (it installs into this machine) and the packages lintian, rpm, dpkg-dev,
# fakeroot and file, which it installs when absent. Prints what failed; exits non-zero on
# failure.
#
#   scripts/check-packages.sh [package build dir]      (default: build/pkg)
set -u
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
build=${1:-build/pkg}
qm=VRQ.PACKAGE.QM
version=$(sed -n 's/^project(vrq VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Debian package, RPM package, component
pairs=("libvrqapi${version%%.*} vrq-libs" "libvrqapi-dev vrq-devel" "vrq-tools vrq-tools" "vrqsim vrqsim")
debs=(); for p in "${pairs[@]}"; do debs+=("${p%% *}"); done
failed=()
fail() { echo "FAILED: $*"; failed+=("$*"); }
note() { printf -- '--- %s\n' "$*"; }

[ "$(id -u)" -eq 0 ] || { echo "FAILED: scripts/check-packages.sh installs packages: run it as root"; exit 1; }
[ -n "$version" ] || { echo "FAILED: no project version in CMakeLists.txt"; exit 1; }

work=$(mktemp -d)
export VRQSIM_DIR=$work/qms
cleanup() {
  [ -x /usr/bin/vrqsim ] && /usr/bin/vrqsim stop "$qm" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

missing=()
for p in lintian rpm dpkg-dev fakeroot file pkg-config man-db; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
    || { echo "FAILED: apt-get install ${missing[*]}"; exit 1; }
fi

# --- 1. build the packages ------------------------------------------------------------------
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# The changelog's date is the last commit's, so that the same tree makes the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) && export SOURCE_DATE_EPOCH || unset SOURCE_DATE_EPOCH
packages=$root/$build/packages
rm -rf "$packages"
configure=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
           -DVRQ_WERROR=ON -DVRQ_TESTS=OFF -DVRQ_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr)
make_packages() {  # DEB|RPM, library folder
  note "cpack -G $1"
  cmake -S "$root" -B "$build" "${configure[@]}" -DVRQ_PACKAGE="$1" -DCMAKE_INSTALL_LIBDIR="$2" \
      >"$work/configure-$1.log" 2>&1 || { cat "$work/configure-$1.log"; return 1; }
  cmake --build "$build" >"$work/build-$1.log" 2>&1 || { tail -n 40 "$work/build-$1.log"; return 1; }
  (cd "$build" && cpack -G "$1") >"$work/cpack-$1.log" 2>&1 || { tail -n 60 "$work/cpack-$1.log"; return 1; }
}
make_packages DEB "lib/$multiarch" || { echo "FAILED: the Debian packages"; exit 1; }
make_packages RPM lib64 || fail "the RPM packages"
for deb in "${debs[@]}"; do
  [ -f "$packages/${deb}_${version}_$(dpkg --print-architecture).deb" ] || fail "no package $deb $version"
done
ls -l "$packages"

# --- 2. lintian -----------------------------------------------------------------------------
note "lintian"
lintian --pedantic --fail-on error,warning "$packages"/*.deb 2>&1 | grep -v 'root privileges' \
  | tee "$work/lintian.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian"
[ -s "$work/lintian.log" ] && echo "lintian: the notes above" || echo "lintian: no errors, warnings or pedantic notes"

# --- 3. install -----------------------------------------------------------------------------
# What an earlier run left installed goes first, so that the file list below is the system's.
installed=()
for deb in "${debs[@]}"; do
  dpkg-query -W -f='${db:Status-Status}' "$deb" 2>/dev/null | grep -qv '^not-installed$' && installed+=("$deb")
done
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"; }
[ ${#installed[@]} -eq 0 ] || apt_get purge "${installed[@]}" >/dev/null

file_list() {
  find /usr /etc /var/lib /opt -xdev \
    \( -path /var/lib/apt/lists -o -path /var/lib/dpkg/triggers -o -path /var/lib/dpkg/updates \
       -o -name __pycache__ \) -prune -o -print 2>/dev/null |
    grep -Ev '^/var/lib/dpkg/[a-z]+-old$|^/etc/(passwd|group|shadow|gshadow)-$' | LC_ALL=C sort
}
file_list >"$work/before.list"

note "apt-get install ./*.deb"
if ! (cd "$packages" && apt_get install --no-install-recommends ./*.deb) \
     >"$work/install.log" 2>&1; then
  cat "$work/install.log"; echo "FAILED: apt-get install"; exit 1
fi

[ "$(command -v vrqmq)" = /usr/bin/vrqmq ] || fail "vrqmq is not /usr/bin/vrqmq on the PATH"
for prog in vrqmq vrrpl vrqsim; do
  env -u LD_LIBRARY_PATH ldd "/usr/bin/$prog" | grep 'not found' && fail "$prog: unresolved libraries"
  man -w "$prog" >/dev/null 2>&1 || fail "no manual page for $prog"
done
dpkg-query -W -f='${Conffiles}\n' vrq-tools | grep -q '^ /etc/vrqmq/targets.ini ' \
  || fail "/etc/vrqmq/targets.ini is not a conffile of vrq-tools"
user=$(getent passwd vrqmq)
case $user in
  vrqmq:*:/nonexistent:/usr/sbin/nologin) uid=$(cut -d: -f3 <<<"$user")
    [ "$uid" -lt 1000 ] || fail "vrqmq is not a system user (uid $uid)" ;;
  *) fail "no system user vrqmq with no home and no shell: '$user'" ;;
esac
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /usr/lib/systemd/system/vrqmq.service >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log"; fail "systemd-analyze verify vrqmq.service"; }
else
  echo "systemd-analyze absent: the unit is not verified (skipped)"
fi

# --- 4. use them ----------------------------------------------------------------------------
note "ping a stand-in queue manager with the vrqmq on the PATH; examples against the -dev package"
mkdir -p "$VRQSIM_DIR"
printf '%s\n' "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)" \
              "DEFINE QLOCAL(EXAMPLE.IN)" "DEFINE QLOCAL(EXAMPLE.OUT)" >"$work/defs.mqsc"
if vrqsim create "$qm" -d "$work/defs.mqsc" >/dev/null && vrqsim start "$qm" >/dev/null; then
  env -u LD_LIBRARY_PATH vrqmq "-m$qm" -b2 -w5000 >"$work/vrqmq.log" 2>&1 \
    || { cat "$work/vrqmq.log"; fail "vrqmq against $qm"; }
  env -u LD_LIBRARY_PATH vrrpl EXAMPLE.IN EXAMPLE.OUT "$qm" 100 >"$work/vrrpl.log" 2>&1
  grep -q 'no more messages' "$work/vrrpl.log" || { cat "$work/vrrpl.log"; fail "vrrpl against $qm"; }

  examples=()
  if cmake -S "$root/examples" -B "$work/example-cmake" -G Ninja >"$work/example.log" 2>&1 &&
     cmake --build "$work/example-cmake" >>"$work/example.log" 2>&1; then
    examples+=("$work/example-cmake/inquire_queues" "$work/example-cmake/inquire_queues_cxx")
  else
    cat "$work/example.log"; fail "examples with find_package(vrq)"
  fi
  mkdir -p "$work/example-pc"
  # shellcheck disable=SC2046  # pkg-config's flags are words
  if cc -o "$work/example-pc/inquire_queues" "$root/examples/inquire_queues.c" $(pkg-config --cflags --libs vrqmqtx) &&
     c++ -o "$work/example-pc/inquire_queues_cxx" "$root/examples/inquire_queues.cpp" $(pkg-config --cflags --libs vrqmqtx); then
    examples+=("$work/example-pc/inquire_queues" "$work/example-pc/inquire_queues_cxx")
  else
    fail "examples with pkg-config"
  fi
  for exe in "${examples[@]}"; do
    out=$(env -u LD_LIBRARY_PATH "$exe" "$qm" 'EXAMPLE.*' 2>&1)
    [ "$out" = $'EXAMPLE.IN\nEXAMPLE.OUT' ] || { echo "$out"; fail "example ${exe#"$work"/}"; }
  done
  vrqsim stop "$qm" >/dev/null
else
  fail "vrqsim: create and start $qm"
fi

# --- 5. purge -------------------------------------------------------------------------------
note "apt-get purge"
apt_get purge "${debs[@]}" >"$work/purge.log" 2>&1 \
  || { cat "$work/purge.log"; fail "apt-get purge"; }
file_list >"$work/after.list"
left=$(LC_ALL=C comm -13 "$work/before.list" "$work/after.list")
gone=$(LC_ALL=C comm -23 "$work/before.list" "$work/after.list")
[ -z "$left" ] || { echo "left behind after purge:"; echo "$left"; fail "files left behind after purge"; }
[ -z "$gone" ] || { echo "gone after install and purge:"; echo "$gone"; fail "files of the system removed"; }
getent passwd vrqmq >/dev/null && echo "the system user vrqmq stays, as Debian keeps system users"

# --- 6. the RPMs ----------------------------------------------------------------------------
note "RPM metadata, requirements and file lists"
rpm_arch=$(uname -m)
deb_arch=$(dpkg --print-architecture)
for pair in "${pairs[@]}"; do
  deb=${pair%% *} rpm=${pair##* }
  rpmfile=$packages/$rpm-$version-1.$rpm_arch.rpm
  [ -f "$rpmfile" ] || { fail "no RPM $rpm $version"; continue; }
  q() { rpm -qp "$@" "$rpmfile" 2>/dev/null; }
  info=$(q -i)
  grep -q "^Name *: $rpm$" <<<"$info" && grep -q "^Version *: $version$" <<<"$info" &&
    grep -q "^License *: ." <<<"$info" && grep -q "^Summary *: ." <<<"$info" \
    || { echo "$info"; fail "$rpm: name, version, licence or summary"; }
  # Files (not folders) as the .deb has them, in the RPM's folders.
  dpkg-deb -c "$packages/${deb}_${version}_$deb_arch.deb" | awk '$1 !~ /^d/ { print $6 }' |
    sed -e 's|^\./|/|' -e "s|^/usr/lib/$multiarch/|/usr/lib64/|" \
        -e "s|^/usr/share/doc/$deb/copyright$|/usr/share/licenses/$rpm/copyright|" \
        -e "\|^/usr/share/doc/$deb/changelog.gz$|d" -e '\|^/usr/share/lintian/|d' | LC_ALL=C sort >"$work/$rpm.expected"
  rpm -qplv "$rpmfile" 2>/dev/null | awk '$1 !~ /^d/ { print $9 }' | grep -v '^/usr/lib/\.build-id/' |
    LC_ALL=C sort >"$work/$rpm.files"
  diff -u "$work/$rpm.expected" "$work/$rpm.files" >"$work/$rpm.diff" \
    || { cat "$work/$rpm.diff"; fail "$rpm: files differ from $deb's"; }
  # Folders: only the package's own.
  others=$(rpm -qplv "$rpmfile" 2>/dev/null | awk '$1 ~ /^d/ { print $9 }' |
           grep -Ev '^/usr/lib/\.build-id(/|$)|/vrq(/|$)|/vrq/mqi$|^/etc/vrqmq$|^/usr/share/licenses/[^/]+$')
  [ -z "$others" ] || { echo "$others"; fail "$rpm owns folders of the system"; }
  q -L | grep -qx "/usr/share/licenses/$rpm/copyright" || fail "$rpm: no %license file"
  q -R | sort -u >"$work/$rpm.requires"
  grep -q '^libmq\(m\|ic\)_r' "$work/$rpm.requires" && fail "$rpm requires the stand-in client library by name"
  q --provides | grep -q '^libmq\(m\|ic\)_r' && fail "$rpm provides the stand-in client library"
  want=()
  case $rpm in
    vrq-libs) want=("vrqsim = $version" 'libc.so.6()(64bit)' 'libstdc++.so.6()(64bit)' 'libcrypt.so.1()(64bit)') ;;
    vrq-devel) want=("vrq-libs = $version" "vrqsim = $version") ;;
    vrq-tools) want=("vrq-libs = $version" "vrqsim = $version" shadow-utils 'libvrqmqtx.so.1()(64bit)') ;;
    vrqsim) want=('libc.so.6()(64bit)') ;;
  esac
  for w in "${want[@]}"; do
    grep -qxF "$w" "$work/$rpm.requires" || fail "$rpm does not require $w"
  done
done
# What one package needs of a toolkit library, vrq-libs provides.
rpm -qp --provides "$packages/vrq-libs-$version-1.$rpm_arch.rpm" 2>/dev/null | sort -u >"$work/libs.provides"
cat "$work"/*.requires | grep '^libvrq' | sort -u | while read -r r; do
  grep -qxF "$r" "$work/libs.provides" || echo "$r"
done >"$work/unprovided"
[ -s "$work/unprovided" ] && { cat "$work/unprovided"; fail "toolkit libraries required but not provided by vrq-libs"; }
rpm -qpc "$packages/vrq-tools-$version-1.$rpm_arch.rpm" 2>/dev/null | grep -qx /etc/vrqmq/targets.ini \
  || fail "vrq-tools: /etc/vrqmq/targets.ini is not %config"
rpm -qp --scripts "$packages/vrq-tools-$version-1.$rpm_arch.rpm" 2>/dev/null | grep -q 'useradd -r .* vrqmq$' \
  || fail "vrq-tools: no %pre scriptlet making the system user vrqmq"

if [ ${#failed[@]} -gt 0 ]; then
  exit 1
fi
echo "package checks passed"
