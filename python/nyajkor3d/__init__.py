"""The flock of nyajkor3d and its sweeps, from Python: the same runs as nyajkor3d-batch, bit for bit.

Keyword arguments are the runner's flags with hyphens as underscores
(``distance_mode`` for ``--distance-mode``), with the runner's ranges; a value
out of range raises ValueError with the runner's message. Tables are dicts of
numpy arrays keyed by the runner's CSV column names.

    >>> import nyajkor3d
    >>> flock = nyajkor3d.Flock(seed=7, n=2000, radius=10, noise=20)
    >>> stats = flock.run(500)
    >>> stats["order"][-1] == flock.order
    True
"""

import csv as _csv
import io as _io
import os as _os

import numpy as _np

from ._nyajkor3d import _Flock, _sweep_tables

__all__ = ["Flock", "sweep", "merge"]

# The runner's flags that set up a flock; alpha, beta, zoom, anaglyph and
# no_cube are the view's, moved through Flock.controls.
_SETUP = ("seed", "n", "speed", "noise", "radius", "equilibrium", "distance_mode", "strength", "cohesion",
          "centre", "centre_at", "centre_strength", "perceivers", "predators", "predator_range", "reaction",
          "box", "boundary", "noise_model", "density")
_VIEW = ("alpha", "beta", "zoom", "anaglyph", "no_cube")
# The flags that are switches: given or not.
_SWITCHES = ("anaglyph", "no_cube")
# Sweep settings of the runner besides the controls.
_SWEEP = ("repeats", "warmup", "ticks", "jobs")


def _text(value):
    """A keyword's value as the runner's flag takes it."""
    if isinstance(value, (tuple, list)):
        return ",".join(_text(v) for v in value)
    if isinstance(value, float):
        return repr(value)  # the shortest text that reads back to the same double
    if isinstance(value, (str, _os.PathLike)):
        return _os.fspath(value)
    return str(value)


def _flags(keywords, allowed, caller):
    """The runner's flags ("--name=value") of keyword arguments; TypeError for a keyword it does not take."""
    flags = []
    for name, value in keywords.items():
        if name not in allowed:
            raise TypeError(f"{caller}() got an unexpected keyword argument {name!r}")
        if value is None:
            continue
        flag = "--" + name.replace("_", "-")
        if name in _SWITCHES:
            if not isinstance(value, bool):
                raise TypeError(f"{name}: True or False, not {value!r}")
            if value:
                flags.append(flag)
            continue
        flags.append(flag + "=" + _text(value))
    return flags


class Flock(_Flock):
    """A flock as the runner's single run has it: Start with the controls set, then ticks.

    Flock(seed=None, n=2000, speed=10, noise=10, radius=0, ...) takes the
    runner's flags of a run's setup as keyword arguments: seed, n, speed,
    noise, radius, equilibrium, distance_mode, strength, cohesion, centre,
    centre_at, centre_strength, perceivers, predators, predator_range,
    reaction, and the research setups box, boundary, noise_model and density.
    Without a seed the clock gives one, as the window does. Every tick is the
    runner's tick, so a run here equals the runner's run with the same flags.

    positions and velocities are read-only (N, 3) views, valid until the state
    changes: a view taken before a tick reads NaN after it. snapshot() copies.
    """

    def __init__(self, **keywords):
        super().__init__(_flags(keywords, _SETUP, "Flock"))

    @classmethod
    def load(cls, path, **controls):
        """A flock from a checkpoint file the runner (--checkpoint) or save() wrote.

        It goes on exactly as the saved run would have gone on, counting its ticks
        on from the checkpoint's. Keyword arguments move the controls as the
        runner's flags given with --resume do. OSError when the file cannot be
        read, ValueError when it is not a whole checkpoint of this program.
        """
        flock = cls.__new__(cls)
        flags = _flags(controls, _SETUP[1:] + _VIEW, "load")
        _Flock.__init__(flock, flags + ["--resume=" + _os.fspath(path)])
        return flock

    def run(self, ticks, every=None, callback=None):
        """Runs `ticks` ticks and returns their statistics as the runner's --csv does.

        The result is a dict of numpy arrays keyed by the runner's column names
        (tick, order_percent, order, avg_neighbours, mean_nn_distance, strength),
        one row for every `every`-th tick (default: every tick). callback(flock),
        when given, is called after each of those ticks. The GIL is released while
        a tick runs; Ctrl-C raises KeyboardInterrupt between two ticks, with the
        flock whole at the tick it reached.
        """
        return self._run(ticks, 1 if every is None else every, callback, self)

    @property
    def controls(self):
        """The controls by the runner's flag names: a dict, read between ticks.

        Assigning a dict moves the controls it names as the window's scroll bars
        and menus do between ticks (the runner's flags given with --resume): n takes
        effect at a restart only, predators adds that many more, cohesion None is
        off. The research setup (box, boundary, noise_model, density) stays as made.
        """
        return self._controls()

    @controls.setter
    def controls(self, moves):
        self._move_controls(_flags(dict(moves), _SETUP[1:16] + _VIEW, "controls"))

    def save(self, path):
        """Writes the whole state as the runner's --checkpoint does, exactly.

        The file is written whole or not at all. OSError (its subclass for the
        cause) with the runner's refusal when the path cannot be written;
        ValueError for a research setup, which a checkpoint cannot hold.
        """
        self._save(_os.fspath(path))

    def write_frame(self, path, *, alpha=None, beta=None, zoom=None, anaglyph=None, no_cube=None, size=(599, 698)):
        """Draws the state to a PNG picture as the runner's --frame does, the same bytes.

        alpha, beta, zoom, anaglyph and no_cube move the view's controls first (they
        stay moved, as the window's scroll bars do); size is (width, height) in
        pixels. The file is written whole or not at all; OSError with the runner's
        refusal when the path cannot be written, ValueError for a research setup,
        whose box the picture does not show.
        """
        view = dict(alpha=alpha, beta=beta, zoom=zoom, anaglyph=anaglyph, no_cube=no_cube)
        width, height = size
        self._write_frame(_os.fspath(path), _flags(view, _VIEW, "write_frame"), width, height)

    def record(self, path, every=1):
        """Records the run as the runner's --trajectory does: extended XYZ, gzip-compressed for a .gz name.

        The state now is the first frame, then the state after every `every`-th tick
        from now. Returns the recording, a context manager: the file is put in place,
        whole, when it is closed or its with block ends; an exception in the block
        (Ctrl-C too) leaves the path as it was. Recording 'every' ticks from the start
        of a run gives the runner's file byte for byte.

            with flock.record("run.xyz.gz", every=10):
                flock.run(1000)
        """
        self._begin_recording("trajectory", _os.fspath(path), every, 0, 0)
        return _Recording(self)

    def record_movie(self, path, every=1, size=(599, 698)):
        """Records the run as the runner's --movie does: the view as an H.264 MP4 movie at 25 frames a second.

        As record(), with the view's pictures of size (width, height) in place of
        the state; ffmpeg (Debian package ffmpeg) encodes them, and its output is
        checked before the file is put in place (RuntimeError with its reason
        when it failed). The view is drawn with the flock's view controls. Start
        it from a thread that outlives the recording: the encoder ends with the
        thread that started it.
        """
        width, height = size
        self._begin_recording("movie", _os.fspath(path), every, width, height)
        return _Recording(self)

    def __repr__(self):
        return f"<nyajkor3d.Flock of {self.n} at tick {self.tick_count}, order {self.order:.3f}>"


class _Recording:
    """A trajectory being recorded; close() puts it in place, discard() drops it."""

    def __init__(self, flock):
        self._flock = flock

    def close(self):
        """Ends the recording and puts the file in place, whole."""
        self._flock._finish_recording(True)

    def discard(self):
        """Ends the recording, leaving the path as it was."""
        self._flock._finish_recording(False)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        self._flock._finish_recording(kind is None)
        return False


def _table(text):
    """A CSV table of the runner as a dict of numpy arrays: whole numbers as int64,
    reals as float64 (an empty cell NaN), anything else as str."""
    rows = list(_csv.reader(_io.StringIO(text)))
    header, body = rows[0], rows[1:]
    table = {}
    for k, name in enumerate(header):
        cells = [row[k] for row in body]
        table[name] = _column(name, cells)
    return table


# Columns of text whose cells may look like numbers.
_TEXT_COLUMNS = ("shard", "sweep_id", "checksum")


def _column(name, cells):
    if name in _TEXT_COLUMNS:
        return _np.array(cells, dtype=str)
    try:
        return _np.array([int(c) for c in cells], dtype=_np.int64)
    except ValueError:
        pass
    try:
        return _np.array([float(c) if c else _np.nan for c in cells], dtype=_np.float64)
    except ValueError:
        return _np.array(cells, dtype=str)


def _axis(name, values):
    """The runner's --sweep of one axis of the grid."""
    names = ",".join(n.replace("_", "-") for n in name) if isinstance(name, tuple) else name.replace("_", "-")
    if isinstance(values, range) and not isinstance(name, tuple) and values.step > 0 and len(values) > 0:
        return f"--sweep={names}={values.start}:{values[-1]}:{values.step}"
    return f"--sweep={names}=" + ";".join(_text(v) for v in values)


def _sweep_flags(grid, seed, shard, settings, controls, caller):
    if not grid:
        raise ValueError("grid: a sweep varies one or two parameters")
    flags = [_axis(name, values) for name, values in grid.items()]
    flags += _flags(controls, _SETUP[1:], caller)
    flags += _flags(settings, _SWEEP, caller)
    if seed is not None:
        flags.append(f"--seed={seed}")
    if shard is not None:
        flags.append("--shard=" + (shard if isinstance(shard, str) else "{}/{}".format(*shard)))
    return flags


def _correlation_flags(correlation, every):
    """The runner's flags that measure C(r) in a sweep, its tables gaining xi and xi_err."""
    if correlation is None:
        if every is not None:
            raise ValueError("--every: only with --trajectory, --movie, --frames or --correlation")
        return []
    flags = ["--correlation=-", "--bin=" + _text(float(correlation))]
    return flags + ([f"--every={every}"] if every is not None else [])


def sweep(grid, *, repeats=1, warmup=0, ticks=1000, seed=None, jobs=None, shard=None, correlation=None,
          every=None, **controls):
    """Runs a sweep as the runner's --sweep does and returns {"runs": ..., "summary": ...}.

    grid maps a parameter (the runner's flag name) to its values: a range is the
    runner's FROM:TO:STEP, any other sequence a list of values; a tuple of names
    maps to a sequence of tuples, the paired axis NAMES=V,V;V,V. One or two
    entries. Each grid point runs `repeats` times with the seeds seed, seed+1, ...,
    `warmup` ticks then `ticks` measured ones, `jobs` runs at once (default one per
    CPU). shard=(K, M) runs only the shard K of M (a seed is then needed).
    correlation=W measures C(r) in bins W wide at every `every`-th measured tick,
    as the runner's --correlation and --bin: both tables gain xi and xi_err.
    Other keyword arguments set the controls of every run, as the runner's flags.

    "runs" is the runner's --csv table (one row per run) and "summary" its
    --summary table (one row per grid point), each a dict of numpy arrays keyed
    by the column names, the numbers bit for bit the runner's. The GIL is
    released; Ctrl-C stops the runs between ticks and raises KeyboardInterrupt.
    """
    settings = {"repeats": repeats, "warmup": warmup, "ticks": ticks, "jobs": jobs}
    flags = _sweep_flags(grid, seed, shard, settings, controls, "sweep") + _correlation_flags(correlation, every)
    runs, summary = _sweep_tables(flags)
    return {"runs": _table(runs), "summary": _table(summary)}


def merge(paths, grid, *, repeats=1, warmup=0, ticks=1000, seed=None, **controls):
    """The tables of a whole sweep from the runs tables (--csv) of its shards, as the runner's --merge.

    The sweep's arguments must be those its shards ran with (the seed too).
    Returns {"runs": ..., "summary": ...} as sweep() does. OSError (its subclass
    for the cause) for a path that cannot be read; ValueError, naming the file,
    for a file that is not a shard of this sweep, a shard missing or given
    twice, or a row edited after it was written.
    """
    settings = {"repeats": repeats, "warmup": warmup, "ticks": ticks}
    files = [_os.fspath(p) for p in paths]
    if not files:
        raise ValueError("paths: no table to merge")
    # a path that looks like a flag is read as a file all the same
    files = [_os.path.abspath(f) if f.startswith("-") else f for f in files]
    flags = _sweep_flags(grid, seed, None, settings, controls, "merge")
    runs, summary = _sweep_tables(flags + ["--merge=" + files[0]] + files[1:])
    return {"runs": _table(runs), "summary": _table(summary)}
