#!/usr/bin/env bash
# Builds the Debian package in its own build folder (Release, no tests) with Debian's hardening
# flags, then checks it as a distribution would: lintian on the package, appstreamcli on the
# AppStream metadata and desktop-file-validate on the desktop entry, both as installed in the
# package. Exits non-zero on any error.
#   BUILD_DIR (default build-pkg)  MAINTAINER (default: the project's)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build-pkg}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags=(-DCMAKE_BUILD_TYPE=Release -DOSD_BUILD_TESTS=OFF
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
[ -n "${MAINTAINER:-}" ] && flags+=("-DOSD_PACKAGE_MAINTAINER=$MAINTAINER")
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

echo "== building the package in $BUILD"
cmake -S . -B "$BUILD" -G Ninja "${flags[@]}" >/dev/null
nice cmake --build "$BUILD" -j"$(nproc)"
rm -f "$BUILD"/osdprog_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/osdprog_*.deb)
echo "== $deb"

status=0
echo "== lintian"
# Errors fail the check; warnings are shown.
lintian --tag-display-limit 0 --fail-on error "$deb" || status=1

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"

echo "== appstreamcli validate"
appstreamcli validate --no-net --explain "$unpacked"/usr/share/metainfo/*.metainfo.xml || status=1

echo "== desktop-file-validate"
for desktop in "$unpacked"/usr/share/applications/*.desktop; do
  desktop-file-validate "$desktop" || status=1
done

echo "== manual pages"
pages=("$unpacked"/usr/share/man/man1/*.1.gz)
[ "${#pages[@]}" = 3 ] || { echo "the package holds ${#pages[@]} manual pages, not 3"; status=1; }
for page in "$unpacked"/usr/share/man/man1/*.1.gz; do
  # groff's own warnings (-ww) about the rendered page are errors here.
  if man --warnings -l "$page" 2>&1 >/dev/null | grep .; then status=1; fi
done

if [ "$status" = 0 ]; then echo "package check: passed"; else echo "package check: FAILED"; fi
exit "$status"
