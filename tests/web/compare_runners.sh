#!/usr/bin/env bash
# The runner compiled to WebAssembly, under node, must write what the native
# runner writes, byte for byte: the per-tick table, the final state, the
# checkpoint, the summary on standard output and the messages, in every mode
# set, in the research setups, in a sweep, in dense flocks reached after a
# cohesion collapse, and across the two runners' checkpoints.
#   compare_runners.sh NATIVE_RUNNER NODE NODE_RUNNER.js
set -uo pipefail
native=$(realpath "$1") node=$(command -v "$2") web=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Runs both runners with the same flags; outputs named %s are written once
# by each, in its own folder, and compared with everything it printed.
same() {
  local name=$1; shift
  mkdir -p "$work/native/$name" "$work/web/$name"
  for side in native web; do
    local dir="$work/$side/$name" args=()
    for a in "$@"; do args+=("${a//%s/$dir}"); done
    if [ $side = native ]; then cmd=("$native"); else cmd=("$node" "$web"); fi
    (cd "$dir" && "${cmd[@]}" "${args[@]}" >stdout 2>stderr; echo $? >status)
    sed -i "s|$dir|DIR|g" "$dir/stdout" "$dir/stderr"
  done
  if diff -r "$work/native/$name" "$work/web/$name" >"$work/$name.diff"; then
    echo "same: $name"
  else
    echo "DIFFERENT: $name"; head -20 "$work/$name.diff"; failures=$((failures + 1))
  fi
}

outputs=(--csv %s/ticks.csv --dump %s/state.csv --checkpoint %s/state.ckpt)
# every mode set of the window, 300 ticks or more
same plain --seed 7 --n 2000 --radius 10 --noise 20 --ticks 400 "${outputs[@]}"
same custom-attractive --seed 11 --n 3000 --radius 12 --distance-mode custom-attractive --strength 8 \
  --equilibrium 6 --ticks 300 "${outputs[@]}"
same auto-repulsive-placed --seed 12 --n 1500 --radius 8 --distance-mode auto-repulsive --centre placed \
  --centre-at 100,200,120 --ticks 300 "${outputs[@]}"
same moving-centre --seed 13 --n 2500 --radius 6 --centre moving --perceivers 60 --centre-strength 12 \
  --ticks 300 "${outputs[@]}"
same predators --seed 14 --n 2000 --radius 9 --predators 5 --reaction 18 --predator-range 80 --ticks 300 \
  "${outputs[@]}"
same cohesion --seed 15 --n 5000 --radius 20 --cohesion 12 --distance-mode auto-attractive --ticks 300 \
  "${outputs[@]}"
# the research setups: a periodic box with vectorial noise, a walled box beyond 5000
same periodic-vectorial --seed 16 --box 40 --boundary periodic --noise-model vectorial --n 4000 --radius 3 \
  --noise 40 --ticks 300 "${outputs[@]}"
same walled-large --seed 17 --box 120,80,60 --n 6000 --radius 5 --ticks 300 "${outputs[@]}"
# a sweep's tables
same sweep --seed 3 --sweep noise=10:30:10 --repeats 2 --warmup 100 --ticks 300 --n 1000 --radius 5 \
  --csv %s/runs.csv --summary %s/summary.csv
# refusals: the same message and status, and what this build does not make
same refused-range --n 3
same refused-flag --speed 9 --unknown
# the dense ball a cohesion collapse leaves after minutes, then 300 ticks
# more from it in both runners, and each runner from the other's checkpoint
"$native" --seed 21 --n 5000 --radius 20 --cohesion 20 --ticks 1500 --checkpoint "$work/dense.ckpt" >/dev/null
# (a resumed run's summary names a seed from the clock: the table goes to standard output in its place)
resumed=(--csv - --dump %s/state.csv --checkpoint %s/state.ckpt)
same dense --resume "$work/dense.ckpt" --ticks 300 "${resumed[@]}"
for side in native web; do
  [ -f "$work/$side/dense/state.ckpt" ] && cp "$work/$side/dense/state.ckpt" "$work/dense-$side.ckpt"
done
same resume-native-checkpoint --resume "$work/dense-native.ckpt" --ticks 300 --noise 30 "${resumed[@]}"
same resume-web-checkpoint --resume "$work/dense-web.ckpt" --ticks 300 --noise 30 "${resumed[@]}"

# a run counted past 2^32 ticks: the same checkpoint with its tick count set
# to 5,000,000,000 and its checksum made again (tick numbers are 64-bit in
# both runners, also where long has 32 bits, as in WebAssembly)
/usr/bin/python3 - "$work/dense.ckpt" "$work/late.ckpt" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
data[20:28] = struct.pack("<q", 5_000_000_000)
h = 14695981039346656037
for b in data[:-8]:
    h = ((h ^ b) * 1099511628211) % (1 << 64)
data[-8:] = struct.pack("<Q", h)
open(sys.argv[2], "wb").write(data)
PY
same late --resume "$work/late.ckpt" --ticks 300 "${resumed[@]}"

# what only the desktop runner makes is refused in one line, before any file
"$node" "$web" --ticks 5 --frame "$work/x.png" --csv "$work/never.csv" 2>"$work/frame.err"
status=$?
if [ $status -ne 2 ] || [ -e "$work/x.png" ] || [ -e "$work/never.csv" ] || [ "$(wc -l <"$work/frame.err")" -ne 1 ]; then
  echo "DIFFERENT: --frame under node: status $status, $(cat "$work/frame.err")"; failures=$((failures + 1))
fi
exit $((failures > 0))
