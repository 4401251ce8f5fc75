#!/usr/bin/env bash
# The install step against a throwaway apt configuration: one local repository that works
# and one source whose index never loads. A package from the working repository must
# install all the same; a package nobody offers must fail with one line naming it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
probe=camaudio-install-probe
. scripts/lib/packages.sh
work=$(mktemp -d)
cleanup() {
  dpkg --purge "$probe" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "packages_test: FAIL: $*" >&2
  exit 1
}

make_repository() {
  mkdir -p "$work/pkg/DEBIAN" "$work/repo"
  cat >"$work/pkg/DEBIAN/control" <<CONTROL
Package: $probe
Version: 1.0
Architecture: all
Maintainer: Test <test@localhost>
Description: install step probe
 Installed and purged by the install step's test.
CONTROL
  dpkg-deb --build "$work/pkg" "$work/repo/$probe.deb" >/dev/null
  (cd "$work/repo" && dpkg-scanpackages . /dev/null 2>/dev/null >Packages)
}

# Only these two sources, lists and caches of their own; the machine's dpkg status stays.
make_apt_configuration() {
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts"
  cat >"$work/sources.list" <<SOURCES
deb [trusted=yes] file:$work/repo ./
deb [trusted=yes] file:$work/never-there ./
SOURCES
  cat >"$work/apt.conf" <<CONF
Dir::Etc::SourceList "$work/sources.list";
Dir::Etc::SourceParts "$work/parts";
Dir::State::Lists "$work/lists";
Dir::Cache "$work/cache";
Acquire::Languages "none";
CONF
}

# Runs the install step for the named packages; its status, standard error in $work/err.
install_step() {
  APT_CONFIG=$work/apt.conf PACKAGE_RETRY_DELAY=0 bash -c \
    '. "$1/scripts/lib/packages.sh"; shift; ensure_packages "$@"' _ "$root" "$@" \
    >/dev/null 2>"$work/err"
}

make_repository
make_apt_configuration

install_step "$probe" || { cat "$work/err"; fail "a failing index stopped the install"; }
package_installed "$probe" || fail "$probe was not installed"
grep -q 'did not update after 3 tries' "$work/err" || fail "no warning about the index that failed"
dpkg --purge "$probe" >/dev/null

if install_step "$probe" no-such-package-anywhere; then
  fail "installing a package nobody offers succeeded"
fi
last=$(tail -n 1 "$work/err")
[[ $last == "could not install: no-such-package-anywhere ("* ]] || fail "last line was: $last"
package_installed "$probe" && fail "$probe was installed although the install failed"
echo "packages_test: PASS"
