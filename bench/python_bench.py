#!/usr/bin/python3
"""The Python module's costs next to the runner's, measured in the same run.

    PYTHONPATH=build/release/python bench/python_bench.py [build/release/cli/nyajkor3d-batch]

Prints, with processor time beside the wall clock (a shared machine inflates
the latter):
  - the cost of a tick of Flock.run over the runner's (the runner's start-up
    measured with --ticks 0 and taken off), the least of alternating rounds;
  - the cost of reading flock.positions: again (the same array) and first after a tick;
  - a sweep from Python over the same sweep of the runner;
  - how long Ctrl-C takes to raise KeyboardInterrupt in a run and in a sweep.
"""

import os
import resource
import signal
import subprocess
import sys
import time

import nyajkor3d

RUNNER = sys.argv[1] if len(sys.argv) > 1 else "build/release/cli/nyajkor3d-batch"
SETUP = dict(seed=7, n=2000, radius=10, noise=20)
FLAGS = [f"--{k}={v}" for k, v in SETUP.items()]


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def own_cpu():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def runner(*flags):
    """Wall and processor seconds of one run of the runner."""
    wall, cpu = time.perf_counter(), children_cpu()
    subprocess.run([RUNNER, *flags], check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - wall, children_cpu() - cpu


def python_run(ticks):
    flock = nyajkor3d.Flock(**SETUP)
    wall, cpu = time.perf_counter(), own_cpu()
    flock.run(ticks)
    return time.perf_counter() - wall, own_cpu() - cpu


def ticks_ratio(ticks=500, rounds=9):
    """The least cost of a tick over alternating rounds: the round the machine disturbed least."""
    py, cli = [], []
    for _ in range(rounds):
        start = runner(*FLAGS, "--ticks=0")
        whole = runner(*FLAGS, f"--ticks={ticks}")
        cli.append([(whole[k] - start[k]) / ticks for k in (0, 1)])
        py.append([v / ticks for v in python_run(ticks)])
    best = [[min(r[k] for r in rows) for k in (0, 1)] for rows in (py, cli)]
    print(f"tick, N=2000 R=10, least of {rounds} rounds: Flock.run {best[0][0] * 1e6:.0f} us wall "
          f"{best[0][1] * 1e6:.0f} us cpu; runner {best[1][0] * 1e6:.0f} us wall {best[1][1] * 1e6:.0f} us cpu; "
          f"ratio {best[0][0] / best[1][0]:.3f} wall {best[0][1] / best[1][1]:.3f} cpu")


def view_cost():
    for keywords in (dict(seed=1, n=2000), dict(seed=1, n=100_000, box=200, boundary="periodic", radius=2)):
        flock = nyajkor3d.Flock(**keywords)
        flock.positions
        reads = 100_000
        wall = time.perf_counter()
        for _ in range(reads):
            flock.positions
        again = (time.perf_counter() - wall) / reads
        first = 0.0
        for _ in range(5):
            flock.tick()
            wall = time.perf_counter()
            flock.positions
            first += (time.perf_counter() - wall) / 5
        print(f"positions, N={flock.n}: read again {again * 1e6:.2f} us, first after a tick {first * 1e6:.0f} us")


def sweep_ratio():
    grid = dict(grid={"noise": range(0, 101, 50)}, repeats=2, warmup=100, ticks=400, seed=1, jobs=2, n=1000, radius=5)
    flags = ["--sweep=noise=0:100:50", "--repeats=2", "--warmup=100", "--ticks=400", "--seed=1", "--jobs=2",
             "--n=1000", "--radius=5"]
    wall, cpu = time.perf_counter(), own_cpu()
    nyajkor3d.sweep(**grid)
    py = time.perf_counter() - wall, own_cpu() - cpu
    cli = runner(*flags)
    print(f"sweep of 6 runs: Python {py[0]:.2f} s wall {py[1]:.2f} s cpu; runner {cli[0]:.2f} s wall "
          f"{cli[1]:.2f} s cpu; ratio {py[0] / cli[0]:.3f} wall {py[1] / cli[1]:.3f} cpu")


CHILD = {
    "run": "f = nyajkor3d.Flock(seed=1, n=5000, radius=20)\nprint('ready', flush=True)\nf.run(10**7)",
    "sweep": "print('ready', flush=True)\n"
             "nyajkor3d.sweep(grid={'noise': range(101)}, repeats=100, ticks=10**5, seed=1, jobs=2)",
}


def interrupt_delay():
    for work, code in CHILD.items():
        delays = []
        for _ in range(5):
            script = ("import time, nyajkor3d\ntry:\n" + "".join("    " + line + "\n" for line in code.splitlines()) +
                      "except KeyboardInterrupt:\n    print(time.monotonic(), flush=True)\n")
            child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
            child.stdout.readline()
            time.sleep(0.5)
            sent = time.monotonic()
            child.send_signal(signal.SIGINT)
            out, _ = child.communicate()
            delays.append(float(out) - sent)
        print(f"Ctrl-C in a {work}: KeyboardInterrupt after {min(delays) * 1e3:.1f} to {max(delays) * 1e3:.1f} ms")


if __name__ == "__main__":
    ticks_ratio()
    view_cost()
    sweep_ratio()
    interrupt_delay()
