"""What the module promises besides the numbers: views, refusals, Ctrl-C, memory."""

import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

import nyajkor3d
from conftest import flags_of, run_runner


def test_views_are_read_only_index_ordered_and_stale_after_a_tick():
    flock = nyajkor3d.Flock(seed=4, n=800)
    positions, velocities = flock.positions, flock.velocities
    for view in (positions, velocities):
        assert view.shape == (800, 3) and view.dtype == np.float64 and not view.flags.writeable
        with pytest.raises(ValueError):
            view[0, 0] = 1.0
    assert flock.positions is positions  # read again: the same array, no copy
    kept = flock.snapshot()
    assert np.array_equal(kept["positions"], positions) and kept["positions"].flags.writeable
    assert np.all(np.linalg.norm(velocities, axis=1) > 0)
    part = positions[10:20]
    flock.tick()
    # every view taken before the tick reads NaN; the copies keep the old state
    for stale in (positions, velocities, part):
        assert np.all(np.isnan(stale))
    assert not np.any(np.isnan(kept["positions"]))
    assert not np.any(np.isnan(flock.positions)) and flock.positions is not positions


def test_predators_and_centre():
    flock = nyajkor3d.Flock(seed=2, n=500, centre="placed", centre_at=(60, 70, 80), predators=3)
    assert flock.centre == (60.0, 70.0, 80.0)
    assert flock.predators.shape == (3, 3)
    flock.controls = {"predators": 2}  # "Új ragadozó" twice more
    assert flock.controls["predators"] == 5 and flock.predators.shape == (5, 3)


# Keyword arguments the runner refuses, each with the runner's own message.
REFUSED = [
    dict(n=3),
    dict(noise=101),
    dict(radius="far"),
    dict(seed=-1),
    dict(distance_mode="sideways"),
    dict(box=(60, 60, 5)),
    dict(density=0.5, box=100),
    dict(centre_at=(1, 2, 3), centre="placed"),
    dict(boundary="periodic", predators=1),
]


@pytest.mark.parametrize("keywords", REFUSED, ids=lambda k: ",".join(k))
def test_refusals_are_the_runners(keywords):
    refused = run_runner(*flags_of(**keywords), check=False)
    assert refused.returncode == 2
    with pytest.raises(ValueError) as caught:
        nyajkor3d.Flock(**keywords)
    assert "nyajkor3d-batch: " + str(caught.value) + "\n" == refused.stderr


def test_unknown_keywords_and_bad_run_arguments():
    with pytest.raises(TypeError):
        nyajkor3d.Flock(nosie=10)
    flock = nyajkor3d.Flock(seed=1, n=500)
    for ticks, every in ((-1, 1), (5, 0)):
        with pytest.raises(ValueError):
            flock.run(ticks, every=every)
    with pytest.raises(ValueError, match="--noise: 200 is out of range"):
        flock.controls = {"noise": 200}
    with pytest.raises(ValueError, match="--sweep: '5' is listed twice"):
        nyajkor3d.sweep(grid={"noise": [5, 5]}, ticks=1, seed=1)


@pytest.mark.parametrize("where, error", [
    ("missing/folder/state.ckpt", FileNotFoundError),
    ("", IsADirectoryError),
])
def test_bad_paths_raise_os_errors_and_leave_nothing(tmp_path, where, error):
    flock = nyajkor3d.Flock(seed=1, n=500)
    path = tmp_path / where
    with pytest.raises(error) as caught:
        flock.save(path)
    assert caught.value.filename == str(path) and str(path) in str(caught.value)
    assert [p.name for p in tmp_path.iterdir()] == []
    with pytest.raises(FileNotFoundError):
        nyajkor3d.Flock.load(tmp_path / "none.ckpt")


@pytest.mark.parametrize("name, error", [("none.csv", FileNotFoundError), ("folder", IsADirectoryError)])
def test_merging_a_path_that_is_no_file_raises_its_os_error(tmp_path, name, error):
    (tmp_path / "folder").mkdir()
    with pytest.raises(error, match="cannot be read|is a directory"):
        nyajkor3d.merge([tmp_path / name], {"noise": [1, 2]}, ticks=3, seed=1)


def test_a_file_that_is_no_checkpoint_and_a_research_setup_are_refused(tmp_path):
    junk = tmp_path / "junk.ckpt"
    junk.write_bytes(b"not a checkpoint")
    with pytest.raises(ValueError, match="--resume: "):
        nyajkor3d.Flock.load(junk)
    periodic = nyajkor3d.Flock(seed=1, n=100, box=100, boundary="periodic")
    with pytest.raises(ValueError, match="a checkpoint holds the window's model"):
        periodic.save(tmp_path / "p.ckpt")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["junk.ckpt"]


# A child that prints "ready" and then runs far longer than the test waits;
# SIGINT must end it with KeyboardInterrupt, between two ticks.
CHILD = {
    "run": """
        flock = nyajkor3d.Flock(seed=1, n=5000, radius=20)
        try:
            print("ready", flush=True)
            flock.run(10_000_000)
        except KeyboardInterrupt:
            more = flock.run(1)["tick"][0]
            print("interrupted", flock.tick_count, more, flush=True)
    """,
    "sweep": """
        try:
            print("ready", flush=True)
            nyajkor3d.sweep(grid={"noise": range(0, 101, 1)}, repeats=100, ticks=100000, seed=1, jobs=2)
        except KeyboardInterrupt:
            print("interrupted", flush=True)
    """,
}


@pytest.mark.parametrize("work", CHILD)
def test_ctrl_c_raises_keyboard_interrupt(work):
    code = "import nyajkor3d\n" + textwrap.dedent(CHILD[work])
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, text=True, env=os.environ)
    assert child.stdout.readline() == "ready\n"
    time.sleep(0.5)  # well into the work
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=60)
    assert child.returncode == 0
    words = out.split()
    assert words[0] == "interrupted"
    if work == "run":  # the flock went on from the tick it stopped at
        assert int(words[2]) == int(words[1]) and int(words[1]) < 10_000_000


def resident_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def test_ten_thousand_flocks_keep_the_resident_size_flat():
    def churn(count):
        for seed in range(count):
            flock = nyajkor3d.Flock(seed=seed, n=500)
            flock.tick()
            flock.positions, flock.snapshot(), flock.controls
    churn(500)  # the allocator's pools filled once
    before = resident_kib()
    churn(10_000)
    assert resident_kib() - before < 8 * 1024


def test_another_thread_may_not_read_a_flock_while_it_ticks():
    flock = nyajkor3d.Flock(seed=1, n=5000, radius=20)
    refused, started = [], threading.Event()

    def other():
        started.wait()
        while not done.is_set():
            try:
                flock.positions
            except RuntimeError as e:
                refused.append(str(e))
                return

    done = threading.Event()
    thread = threading.Thread(target=other)
    thread.start()
    started.set()
    flock.run(200, callback=lambda f: f.positions)  # the callback reads, as it may
    done.set()
    thread.join()
    assert refused == ["the flock is running in another thread"]
