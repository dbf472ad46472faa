#!/usr/bin/env bash
# Installs the build into a staging folder as a package would and checks that
# everything is in its place and that the installed programs run.
#   install_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0 passed=0
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok: $what"; passed=$((passed + 1))
  else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
usr="$stage/usr"
for f in bin/nyajkor3d bin/nyajkor3d-batch; do check "$f is an executable" test -x "$usr/$f"; done
for f in share/applications/nyajkor3d.desktop share/icons/hicolor/scalable/apps/nyajkor3d.svg \
         share/man/man1/nyajkor3d-batch.1.gz share/man/man1/nyajkor3d.1.gz share/doc/nyajkor3d/copyright \
         share/doc/nyajkor3d/changelog.gz share/doc/nyajkor3d/checkpoint.md; do
  check "$f is installed" test -s "$usr/$f"
done
# the web page, in the builds that make the web edition
if [ -d "$build/web-edition" ]; then
  check "the web page is installed, Hungarian and whole" \
    bash -c "grep -q '<html lang=\"hu\">' '$usr/share/nyajkor3d/web/index.html' &&
             test \$(ls '$usr/share/nyajkor3d/web' | wc -l) = 1"
fi
check "the desktop entry is valid" desktop-file-validate "$usr/share/applications/nyajkor3d.desktop"
check "the desktop entry names the program and its icon" \
  grep -qx -e 'Exec=nyajkor3d' "$usr/share/applications/nyajkor3d.desktop"
check "the icon is SVG" grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/nyajkor3d.svg"
check "the man page is section 1 and lists the flags" \
  bash -c "zcat '$usr/share/man/man1/nyajkor3d-batch.1.gz' | grep -q '^\.TH NYAJKOR3D-BATCH \"1\"' &&
           zcat '$usr/share/man/man1/nyajkor3d-batch.1.gz' | grep -q 'Egyedszám'"
check "the runner's --version" test "$("$usr/bin/nyajkor3d-batch" --version)" = "nyajkor3d-batch $version"
check "the window's --version" test "$("$usr/bin/nyajkor3d" --version)" = "nyajkor3d $version"
check "the installed runner runs" \
  test "$("$usr/bin/nyajkor3d-batch" --seed 1 --n 500 --ticks 3 --csv - | wc -l)" = 4
# the Python module, in the builds that make it
if [ -d "$build/python/nyajkor3d" ]; then
  check "the Python module imports and runs from dist-packages" \
    env PYTHONPATH="$usr/lib/python3/dist-packages" /usr/bin/python3 -c \
    "import nyajkor3d; assert nyajkor3d.Flock(seed=1, n=500).run(3)['tick'][-1] == 3"
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
