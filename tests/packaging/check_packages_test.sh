#!/usr/bin/env bash
# scripts/check-packages against a made-up build: it must name a package the
# build used but the list leaves out, and pass once the list has it.
#   check_packages_test.sh SOURCE_DIR
set -uo pipefail
check="$1/scripts/check-packages"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect WHAT STATUS PATTERN LIST...
  local what=$1 status=$2 pattern=$3; shift 3
  printf '%s\n' "$@" > "$work/list"
  local out rc
  out=$("$check" "$work/build" "$work/list" 2>&1); rc=$?
  if [ "$rc" -ne "$status" ] || ! grep -q -- "$pattern" <<<"$out"; then
    echo "FAIL: $what: exit $rc (wanted $status), output: $out"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}

mkdir -p "$work/build/sub"
expect "no configured build" 2 "no configured build" cmake

# a build that compiled one object with GoogleTest's and the C++ library's
# headers, and whose configure found GoogleTest's CMake package
gtest_dir=/usr/lib/x86_64-linux-gnu/cmake/GTest
[ -d "$gtest_dir" ] || gtest_dir=$(dirname "$(dpkg -L libgtest-dev | grep -m1 'GTestConfig.cmake$')")
printf 'GTest_DIR:PATH=%s\nOPENGL_INCLUDE_DIR:PATH=/usr/include\n' "$gtest_dir" > "$work/build/CMakeCache.txt"
expect "nothing compiled" 2 "build it first" cmake
cat > "$work/build/sub/a.cpp.o.d" <<DEPS
sub/a.cpp.o: /tmp/a.cpp /usr/include/gtest/gtest.h \\
 /usr/lib/gcc/x86_64-linux-gnu/12/../../../../include/c++/12/vector
DEPS

expect "a header's package missing from the list" 1 "libgtest-dev (for example /usr/include/gtest/gtest.h)" g++
expect "the package reached through Depends" 0 "every header" g++ libgtest-dev
expect "libgmock-dev depends on libgtest-dev" 0 "every header" g++ libgmock-dev
expect "the compiler's own headers need g++" 1 "libstdc++-12-dev" libgtest-dev "# a comment" ""

echo "/usr/include/no-such-header.h \\" >> "$work/build/sub/a.cpp.o.d"
expect "a file of no package" 1 "installed by no Debian package" g++ libgtest-dev

echo "$((8 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
