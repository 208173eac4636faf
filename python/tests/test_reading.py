"""tuda.read and tuda.iterate give the events and items of `tuda export`, in its order and numbering."""

import gzip
import os
import subprocess
import sys

import numpy as np
import pytest

import tuda
from conftest import assert_equal_to_export, exported

KINDS = ("adc", "tdc", "scaler", "epics")
VALUE_TYPES = {"adc": np.uint16, "tdc": np.uint16, "scaler": np.uint32, "epics": np.float32}


@pytest.mark.parametrize("swapped", [False, True])
def test_damaged_run_equals_export(damaged, swapped):
    path = damaged("run.dat", seed=3, swapped=swapped)
    with pytest.warns(tuda.DataLossWarning):
        events = tuda.read(path)
    frame = exported([path])
    assert len(events) == frame["event"].max() + 1
    for kind in KINDS:
        assert_equal_to_export(events, frame, kind)


def test_layout_of_arrays(damaged):
    with pytest.warns(tuda.DataLossWarning):
        events = tuda.read(damaged("run.dat"))
    for kind in KINDS:
        items = getattr(events, kind)
        assert items.channel.dtype == np.uint16
        assert items.value.dtype == VALUE_TYPES[kind]
        assert items.offsets.dtype == np.int64
        assert len(items.offsets) == len(events) + 1
        assert items.offsets[0] == 0 and items.offsets[-1] == len(items.channel)
    # Handed over, not copied: each array's memory belongs to an object made in C++.
    assert events.adc.channel.base is not None and not events.adc.channel.flags.owndata


def test_carry_over_across_files_and_byte_orders(damaged, gen):
    files = [damaged("a.dat", seed=1), gen("b.dat", events=500, swapped=0.5), damaged("c.dat", seed=2, swapped=True)]
    with pytest.warns(tuda.DataLossWarning):
        events = tuda.read(files)
    frame = exported(files)
    for kind in KINDS:
        assert_equal_to_export(events, frame, kind)


def test_compressed_file_reads_as_plain(damaged, tmp_path):
    plain = damaged("run.dat", seed=4)
    packed = tmp_path / "run.gz"
    packed.write_bytes(gzip.compress(plain.read_bytes()))
    with pytest.warns(tuda.DataLossWarning):
        expected = tuda.read(plain)
    with pytest.warns(tuda.DataLossWarning):
        events = tuda.read(packed)
    assert len(events) == len(expected)
    for kind in KINDS:
        np.testing.assert_array_equal(getattr(events, kind).channel, getattr(expected, kind).channel)
        np.testing.assert_array_equal(getattr(events, kind).offsets, getattr(expected, kind).offsets)


def test_standard_input(gen):
    path = gen("run.dat", events=700)
    script = ("import sys, tuda, numpy as np; e = tuda.read('-');"
              "sys.stdout.write('%d %d %d' % (len(e), len(e.adc), int(e.tdc.value.sum())))")
    with open(path, "rb") as data:
        result = subprocess.run([sys.executable, "-c", script], stdin=data, capture_output=True, env=os.environ)
    assert result.returncode == 0, result.stderr
    expected = tuda.read(path)
    assert result.stdout.decode() == f"{len(expected)} {len(expected.adc)} {int(expected.tdc.value.sum())}"
    # Nothing else reaches the process's streams.
    assert result.stderr == b""


def test_skip_and_events_keep_the_numbers(gen):
    path = gen("run.dat", events=2000)
    events = tuda.read(path, skip=100, events=250)
    assert (events.first_event, len(events)) == (100, 250)
    assert_equal_to_export(events, exported([path], "--skip", "100", "--events", "250"), "adc")


def test_kinds_leave_the_others_out(gen):
    events = tuda.read(gen("run.dat", events=300), kinds=["tdc"])
    assert events.adc is None and events.tdc is not None
    with pytest.raises(ValueError):
        events.to_pandas("adc")
    with pytest.raises(ValueError):
        tuda.read(gen("other.dat", events=10), kinds=["qdc"])


def test_to_pandas(gen):
    events = tuda.read(gen("run.dat", events=400), skip=10)
    frame = events.to_pandas("adc")
    assert list(frame.columns) == ["event", "channel", "value"]
    np.testing.assert_array_equal(frame["channel"].to_numpy(), events.adc.channel)
    assert frame["event"].iloc[0] >= 10
    assert np.all(np.diff(frame["event"].to_numpy()) >= 0)


def test_path_like_and_list(gen):
    path = gen("run.dat", events=100)
    assert len(tuda.read(path)) == len(tuda.read(str(path))) == len(tuda.read([os.fspath(path)]))
