#!/usr/bin/env bash
# What the window's program answers on the command line, without opening a window.
#   command_line_test.sh NYAJKOR3D
set -uo pipefail
program=$1
failures=0 passed=0
# case: name | exit status | lines on stdout (- any) | lines on stderr | command
run_case() {
  local name=$1 status=$2 out_lines=$3 err_lines=$4; shift 4
  local out err got
  out=$(mktemp) err=$(mktemp)
  timeout 20 "$@" >"$out" 2>"$err"
  got=$?
  local o e
  o=$(wc -l <"$out") e=$(wc -l <"$err")
  if [ "$got" -eq "$status" ] && { [ "$out_lines" = - ] || [ "$o" -eq "$out_lines" ]; } && [ "$e" -eq "$err_lines" ]; then
    echo "ok: $name"; passed=$((passed + 1))
  else
    echo "FAIL: $name: exit $got (want $status), $o lines out, $e lines err"; sed 's/^/  | /' "$err"
    failures=$((failures + 1))
  fi
  rm -f "$out" "$err"
}
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
run_case "--help without a display" 0 - 0 "${nodisplay[@]}" "$program" --help
run_case "-h" 0 - 0 "${nodisplay[@]}" "$program" -h
run_case "--version" 0 1 0 "${nodisplay[@]}" "$program" --version
run_case "unknown option" 2 0 1 "${nodisplay[@]}" "$program" --bogus
run_case "unknown option after --help" 2 0 1 "${nodisplay[@]}" "$program" --help --bogus
run_case "stray argument" 2 0 1 "${nodisplay[@]}" "$program" file.ckpt
run_case "--threads out of range" 2 0 1 "${nodisplay[@]}" "$program" --threads 0
run_case "--threads not a number" 2 0 1 "${nodisplay[@]}" "$program" --threads 2x
run_case "--threads without its value" 2 0 1 "${nodisplay[@]}" "$program" --threads
run_case "--threads with --help" 0 - 0 "${nodisplay[@]}" "$program" --threads 2 --help
run_case "--threads, then no display" 1 0 1 "${nodisplay[@]}" "$program" --threads 1
run_case "no display" 1 0 1 "${nodisplay[@]}" "$program"
run_case "a display that is not there" 1 0 1 env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 "$program"
help=$("${nodisplay[@]}" "$program" --help)
for word in "Usage: nyajkor3d" "Használat: nyajkor3d" "--version" "--threads K" "nyajkor3d-batch"; do
  if grep -qF -- "$word" <<<"$help"; then echo "ok: help mentions $word"; passed=$((passed + 1))
  else echo "FAIL: help does not mention $word"; failures=$((failures + 1)); fi
done
echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
