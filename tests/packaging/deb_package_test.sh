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
for f in ./usr/bin/nyajkor3d ./usr/bin/nyajkor3d-batch ./usr/share/applications/nyajkor3d.desktop \
         ./usr/share/icons/hicolor/scalable/apps/nyajkor3d.svg ./usr/share/man/man1/nyajkor3d-batch.1.gz; do
  check "holds $f" grep -q -- " $f\$" <<<"$contents"
done
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
