"""A run, a sweep and a checkpoint from Python equal the runner's, bit for bit."""

import numpy as np
import pytest

import nyajkor3d
from nyajkor3d import _table
from conftest import flags_of, run_runner

# Setups that take different paths through the model: the plain flock,
# distance keeping with cohesion, the centre's modes with predators, and a
# research setup.
SETUPS = [
    dict(seed=7, n=600, radius=10, noise=20),
    dict(seed=3, n=500, radius=6, distance_mode="custom-attractive", strength=8, cohesion=4),
    dict(seed=11, n=700, radius=8, distance_mode="auto-repulsive", centre="moving", predators=2),
    dict(seed=5, n=500, radius=5, centre="placed", centre_at=(80, 120, 200), centre_strength=15, perceivers=40),
    dict(seed=9, n=300, radius=5, box=(120, 100, 80), boundary="periodic", noise_model="vectorial"),
]
TICKS = 40


def same(a, b):
    """Equal bit for bit, NaN equal to NaN."""
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype.kind == b.dtype.kind and a.shape == b.shape and bool(np.all((a == b) | ((a != a) & (b != b))))


def same_tables(a, b):
    return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)


def dump_positions(text):
    rows = [line.split(",") for line in text.splitlines()[1:] if line.startswith("individual,")]
    return np.array([[float(c) for c in row[2:8]] for row in rows])


@pytest.mark.parametrize("setup", SETUPS, ids=lambda s: "-".join(map(str, list(s.values())[2:5])))
def test_run_equals_the_runners(setup, tmp_path):
    csv, dump = tmp_path / "run.csv", tmp_path / "dump.csv"
    run_runner(*flags_of(**setup), f"--ticks={TICKS}", f"--csv={csv}", f"--dump={dump}")
    flock = nyajkor3d.Flock(**setup)
    stats = flock.run(TICKS)
    assert same_tables(stats, _table(csv.read_text()))
    state = dump_positions(dump.read_text())
    assert same(np.hstack([flock.positions, flock.velocities]), state)
    assert flock.order == stats["order"][-1] and flock.tick_count == TICKS


def test_run_every_kth_tick_with_its_callback():
    seen = []
    flock = nyajkor3d.Flock(**SETUPS[0])
    stats = flock.run(12, every=4, callback=lambda f: seen.append((f.tick_count, f.positions.copy())))
    whole = nyajkor3d.Flock(**SETUPS[0]).run(12)
    assert list(stats["tick"]) == [4, 8, 12] == [t for t, _ in seen]
    assert same(stats["order"], whole["order"][3::4])
    assert same(seen[-1][1], flock.positions)


SWEEP = dict(grid={"noise": range(0, 41, 20)}, repeats=2, warmup=5, ticks=30, seed=1, n=500, radius=5)
SWEEP_FLAGS = ["--sweep=noise=0:40:20", "--repeats=2", "--warmup=5", "--ticks=30", "--seed=1", "--n=500",
               "--radius=5"]


# A sweep as it is, and measuring C(r) (the tables gain xi and xi_err).
SWEEP_EXTRAS = [
    ({}, []),
    (dict(correlation=2.5, every=5), ["--correlation={}", "--bin=2.5", "--every=5"]),
]


@pytest.mark.parametrize("keywords, flags", SWEEP_EXTRAS, ids=["plain", "correlation"])
def test_sweep_equals_the_runners(keywords, flags, tmp_path):
    runs, summary = tmp_path / "runs.csv", tmp_path / "summary.csv"
    extra = [f.format(tmp_path / "c.csv") for f in flags]
    run_runner(*SWEEP_FLAGS, *extra, f"--csv={runs}", f"--summary={summary}")
    expected = {"runs": _table(runs.read_text()), "summary": _table(summary.read_text())}
    got = nyajkor3d.sweep(jobs=2, **SWEEP, **keywords)
    assert all(same_tables(got[k], expected[k]) for k in expected)


def test_shards_merge_as_the_runners(tmp_path):
    summary = tmp_path / "summary.csv"
    run_runner(*SWEEP_FLAGS, f"--summary={summary}")
    shards = [tmp_path / f"shard{k}.csv" for k in (1, 2)]
    for k, path in enumerate(shards, 1):
        run_runner(*SWEEP_FLAGS, f"--shard={k}/2", f"--csv={path}")
    merged = nyajkor3d.merge(shards, **SWEEP)
    assert same_tables(merged["summary"], _table(summary.read_text()))
    assert list(nyajkor3d.sweep(shard=(2, 2), **SWEEP)["runs"]["run"]) == [1, 3, 5]


def test_paired_and_listed_axes():
    got = nyajkor3d.sweep(grid={("n", "radius"): [(500, 2), (600, 3)], "speed": [10, 15]}, ticks=3, seed=2)
    assert list(got["summary"]["n"]) == [500, 500, 600, 600]
    assert list(got["summary"]["speed"]) == [10, 15, 10, 15]


def test_correlation_of_a_tick_equals_the_runners(tmp_path):
    path = tmp_path / "c.csv"
    run_runner(*flags_of(**SETUPS[0]), "--ticks=1", f"--correlation={path}", "--bin=2.5")
    flock = nyajkor3d.Flock(**SETUPS[0])
    flock.run(1)
    got = flock.correlation(2.5)
    assert same_tables({k: got[k] for k in ("r_low", "r_high", "pairs", "uu_mean", "C")}, _table(path.read_text()))


def test_checkpoint_round_trip_between_python_and_the_runner(tmp_path):
    setup = SETUPS[2]
    saved, by_runner, by_python = tmp_path / "a.ckpt", tmp_path / "b.ckpt", tmp_path / "c.ckpt"
    flock = nyajkor3d.Flock(**setup)
    flock.run(15)
    flock.save(saved)
    run_runner(f"--resume={saved}", "--ticks=10", f"--checkpoint={by_runner}")
    resumed = nyajkor3d.Flock.load(saved)
    assert resumed.tick_count == 15 and same(resumed.positions, flock.positions)
    resumed.run(10)
    resumed.save(by_python)
    assert by_python.read_bytes() == by_runner.read_bytes()
    # and the runner's own checkpoint of a fresh run reads back as the state it dumped
    start, dump = tmp_path / "start.ckpt", tmp_path / "dump.csv"
    run_runner(*flags_of(**SETUPS[0]), "--ticks=5", f"--checkpoint={start}", f"--dump={dump}")
    loaded = nyajkor3d.Flock.load(start)
    assert same(np.hstack([loaded.positions, loaded.velocities]), dump_positions(dump.read_text()))


# What the runner records along a run or draws after it, and the same from Python.
OUTPUTS = [
    (["--every=4", "--trajectory={}"], "run.xyz", lambda f, path: record_run(f, path, 4)),
    (["--every=3", "--trajectory={}"], "run.xyz.gz", lambda f, path: record_run(f, path, 3)),
    (["--every=4", "--movie={}", "--size=120x100"], "run.mp4", lambda f, path: record_movie_run(f, path)),
    (["--frame={}", "--alpha=30", "--beta=40", "--zoom=20", "--anaglyph", "--size=300x200"], "view.png",
     lambda f, path: (f.run(12), f.write_frame(path, alpha=30, beta=40, zoom=20, anaglyph=True, size=(300, 200)))),
]


def record_run(flock, path, every):
    with flock.record(path, every=every):
        flock.run(12)


def record_movie_run(flock, path):
    with flock.record_movie(path, every=4, size=(120, 100)):
        flock.run(12)


@pytest.mark.parametrize("flags, name, make", OUTPUTS, ids=[o[1] for o in OUTPUTS])
def test_recordings_and_pictures_are_the_runners_bytes(flags, name, make, tmp_path):
    setup = SETUPS[2]
    by_runner, by_python = tmp_path / ("runner-" + name), tmp_path / ("python-" + name)
    run_runner(*flags_of(**setup), "--ticks=12", *(f.format(by_runner) for f in flags))
    make(nyajkor3d.Flock(**setup), by_python)
    assert by_python.read_bytes() == by_runner.read_bytes()


def test_a_recording_stopped_by_an_exception_leaves_nothing(tmp_path):
    flock = nyajkor3d.Flock(**SETUPS[0])
    with pytest.raises(ZeroDivisionError):
        with flock.record(tmp_path / "run.xyz"):
            flock.run(3, callback=lambda f: 1 / 0)
    assert list(tmp_path.iterdir()) == [] and not flock.recording
