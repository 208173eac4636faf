"""Files for the tests, made by the project's own writer (tuda gen, tuda_py_testrun), and the
tuda program's own output to compare with."""

import io
import json
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import tuda

PROGRAM = os.environ.get("TUDA_PROGRAM", "build/bin/tuda")
TESTRUN = os.environ.get("TUDA_TESTRUN", "build/bin/tuda_py_testrun")
# The programs beside tuda that the build makes (TUDA_EXPORT TUDA_SPECTRA TUDA_MONITOR); all unless told.
BUILT = os.environ.get("TUDA_BUILT", "TUDA_EXPORT TUDA_SPECTRA TUDA_MONITOR").split()


def run(*arguments, **options):
    return subprocess.run([str(a) for a in arguments], capture_output=True, check=False, **options)


def skip_unless_built(program):
    """Skips a test that compares with `tuda PROGRAM` where the build leaves that program out."""
    if f"TUDA_{program.upper()}" not in BUILT:
        pytest.skip(f"this build has no tuda {program} to compare with")


@pytest.fixture
def gen(tmp_path):
    """gen(name, events=..., seed=..., swapped=...): a synthetic run by `tuda gen`."""
    def make(name, events=3000, seed=1, swapped=0.0):
        path = tmp_path / name
        result = run(PROGRAM, "gen", path, "--events", events, "--seed", seed, "--swapped", swapped)
        assert result.returncode == 0, result.stderr
        return path
    return make


@pytest.fixture
def damaged(tmp_path):
    """damaged(name, seed, swapped=False): a run with damage of every kind the reader steps over."""
    def make(name, seed=1, swapped=False):
        path = tmp_path / name
        result = run(TESTRUN, path, seed, *(["swapped"] if swapped else []))
        assert result.returncode == 0, result.stderr
        return path
    return make


def exported(files, *options):
    """The items `tuda export` writes as CSV: event, kind, channel, value."""
    skip_unless_built("export")
    result = run(PROGRAM, "export", "--out", "-", "--quiet", *options, *files)
    assert result.returncode == 0, result.stderr
    return pd.read_csv(io.BytesIO(result.stdout))


def assert_equal_to_export(events, frame, kind):
    """The kind's items of `events` are the export's, row for row, with the same event numbers."""
    rows = frame[frame["kind"] == kind]
    items = getattr(events, kind)
    numbers = np.repeat(np.arange(events.first_event, events.first_event + len(events)), np.diff(items.offsets))
    np.testing.assert_array_equal(numbers, rows["event"].to_numpy())
    np.testing.assert_array_equal(items.channel, rows["channel"].to_numpy())
    if kind == "epics":
        np.testing.assert_allclose(items.value, rows["value"].to_numpy(dtype=np.float32), rtol=1e-6)
    else:
        np.testing.assert_array_equal(items.value, rows["value"].to_numpy())


def stat_lines(*files):
    result = run(PROGRAM, "stat", "--json", "--jobs", 1, *files)
    return [json.loads(line) for line in result.stdout.decode().splitlines()]
