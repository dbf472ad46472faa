#!/usr/bin/env bash
# Builds the Debian package from the build and checks what it holds and what
# it depends on.
#   deb_package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null) || { echo "FAIL: cpack -G DEB"; exit 1; }
deb=$(ls "$out"/nyajkor3d_"$version"_*.deb 2>/dev/null)
[ -f "$deb" ] || { echo "FAIL: no nyajkor3d_${version}_*.deb in $(ls "$out")"; exit 1; }
failures=0 passed=0
check() {
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok: $what"; passed=$((passed + 1))
  else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in libqt6widgets6 libqt6charts6 libc6 libstdc++6 qt6-qpa-plugins qt6-translations-l10n; do
  check "depends on $p" grep -qw -- "$p" <<<"$depends"
done
check "depends on zlib1g (gzip trajectories)" grep -qw zlib1g <<<"$depends"
check "recommends ffmpeg (movies)" grep -qw ffmpeg <<<"$(dpkg-deb -f "$deb" Recommends)"
contents=$(dpkg-deb -c "$deb")
# the Python module, in the builds that make it
if [ -d "$build/python/nyajkor3d" ]; then
  check "depends on python3-numpy (the module)" grep -qw python3-numpy <<<"$depends"
  check "holds the Python module" grep -q -- " ./usr/lib/python3/dist-packages/nyajkor3d/__init__.py\$" <<<"$contents"
  check "holds its compiled part" grep -q -- " ./usr/lib/python3/dist-packages/nyajkor3d/_nyajkor3d\.cpython-.*\.so\$" <<<"$contents"
fi
for f in ./usr/bin/nyajkor3d ./usr/bin/nyajkor3d-batch ./usr/share/applications/nyajkor3d.desktop \
         ./usr/share/icons/hicolor/scalable/apps/nyajkor3d.svg ./usr/share/man/man1/nyajkor3d-batch.1.gz \
         ./usr/share/man/man1/nyajkor3d.1.gz ./usr/share/doc/nyajkor3d/copyright \
         ./usr/share/doc/nyajkor3d/changelog.gz ./usr/share/doc/nyajkor3d/checkpoint.md; do
  check "holds $f" grep -q -- " $f\$" <<<"$contents"
done
# the web page, in the builds that make the web edition
if [ -d "$build/web-edition" ]; then
  check "holds the web page" grep -q -- " ./usr/share/nyajkor3d/web/index.html\$" <<<"$contents"
  check "holds no runner for node nor benchmark page" \
    bash -c "! grep -q -e 'nyajkor3d-batch\.js' -e '/web/bench' <<<\"\$1\"" _ "$contents"
fi
# What a distribution asks of a package: lintian finds no error and no warning.
if command -v lintian >/dev/null; then
  tags=$(lintian --fail-on none "$deb" 2>/dev/null | grep -E '^[EW]: ')
  [ -n "$tags" ] && echo "$tags"
  check "lintian reports no error or warning" test -z "$tags"
else
  echo "FAIL: lintian is not installed (Debian package lintian)"; failures=$((failures + 1))
fi
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
