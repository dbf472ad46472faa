"""What the module's tests share: the runner, whose files the module must equal."""

import os
import subprocess

import pytest

RUNNER = os.environ.get("NYAJKOR_BATCH", "nyajkor3d-batch")


def run_runner(*flags, check=True):
    """Runs nyajkor3d-batch with `flags`; its completed process."""
    done = subprocess.run([RUNNER, *flags], capture_output=True, text=True, timeout=600)
    if check and done.returncode != 0:
        raise AssertionError(f"nyajkor3d-batch {' '.join(flags)} failed: {done.stderr}")
    return done


def flags_of(**keywords):
    """The runner's flags of the module's keyword arguments."""
    flags = []
    for name, value in keywords.items():
        value = ",".join(map(str, value)) if isinstance(value, tuple) else str(value)
        flags.append(f"--{name.replace('_', '-')}={value}")
    return flags


@pytest.fixture
def runner():
    return run_runner
