"""Failures are exceptions, losses warnings, and nothing reaches the process's streams."""

import gzip
import os
import signal
import subprocess
import sys
import time
import warnings

import numpy as np
import pytest

import tuda
from conftest import PROGRAM, run, stat_lines


def test_missing_file_raises_before_anything_is_read(gen, tmp_path):
    missing = tmp_path / "nope.dat"
    with pytest.raises(FileNotFoundError) as error:
        tuda.iterate([gen("run.dat", events=10), missing])
    assert error.value.filename == str(missing)
    for call in (tuda.read, tuda.stat, tuda.check, tuda.histogram):
        with pytest.raises(FileNotFoundError):
            call(missing)


def test_file_without_a_data_block_is_refused_unless_forced(tmp_path):
    path = tmp_path / "run.tar"
    path.write_bytes(b"ustar\0" + bytes(range(256)) * 200)
    with pytest.raises(tuda.FormatError) as error:
        tuda.read(path)
    assert isinstance(error.value, ValueError)
    assert str(error.value) == (f"{path} does not start with a data block (identifier 75 73 74 61 72 ...);"
                                " use force=True to decode it anyway")
    with pytest.raises(tuda.FormatError):
        tuda.stat(path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tuda.DataLossWarning)
        tuda.read(path, force=True)
        assert tuda.stat(path, force=True)["blocks"] == 1


def test_standard_input_without_a_data_block_is_refused(tmp_path):
    path = tmp_path / "noise"
    path.write_bytes(b"\x7fELF" + bytes(40000))
    script = "import tuda\ntry:\n  tuda.read('-')\nexcept tuda.FormatError as e:\n  print('refused')"
    with open(path, "rb") as data:
        result = subprocess.run([sys.executable, "-c", script], stdin=data, capture_output=True, env=os.environ)
    assert result.stdout == b"refused\n", result.stderr


def cut_gzip(tmp_path, plain):
    packed = gzip.compress(plain.read_bytes())
    path = tmp_path / "cut.dat.gz"
    path.write_bytes(packed[: len(packed) * 2 // 3])
    return path


@pytest.mark.filterwarnings("ignore::tuda.DataLossWarning")
def test_damaged_data_raise_after_the_batches_before_the_damage(gen, tmp_path):
    plain = gen("run.dat", events=6000)
    path = cut_gzip(tmp_path, plain)
    batches = []
    with pytest.raises(tuda.DamagedDataError) as error:
        for batch in tuda.iterate(path, step=500):
            batches.append(batch)
    assert isinstance(error.value, OSError)
    message = str(error.value)
    assert str(path) in message and "gzip" in message and "uncompressed byte" in message
    assert len(batches) > 2
    whole = tuda.read(plain)
    got = np.concatenate([batch.adc.channel for batch in batches])
    np.testing.assert_array_equal(got, whole.adc.channel[: len(got)])

    with pytest.raises(tuda.DamagedDataError) as error:
        tuda.read(path)
    assert len(error.value.events) == sum(len(batch) for batch in batches)
    with pytest.raises(tuda.DamagedDataError):
        tuda.stat(path)
    assert tuda.check(path)["damaged"] is True


def test_one_loss_warning_per_file_with_the_account_text(damaged, gen):
    files = [damaged("a.dat", seed=1), gen("b.dat", events=100), damaged("c.dat", seed=2)]
    with pytest.warns(tuda.DataLossWarning) as caught:
        tuda.read(files)
    texts = [str(warning.message) for warning in caught if warning.category is tuda.DataLossWarning]
    assert len(texts) == 2
    for path, text in zip((files[0], files[2]), texts):
        lines = run(PROGRAM, "events", path).stderr.decode().splitlines()
        assert f"tuda events: {text.removeprefix(f'{path}: ')}; tuda stat shows more" in lines
        assert text.startswith(f"{path}: ")


def test_reader_lines_are_gathered_capped_and_counted(damaged, capfd):
    path = damaged("run.dat", seed=6)
    reader = tuda.Reader(path)
    with pytest.warns(tuda.DataLossWarning):
        reader.read()
    out, err = capfd.readouterr()
    assert (out, err) == ("", "")
    unknown = [line for line in reader.lines if line.startswith("FormatData: ERROR - Unknown data group")]
    assert len(unknown) == 20
    groups = stat_lines(path)[0]["items_per_group"]
    assert reader.line_counts["unknown_group"] == groups["0"] + groups["40"] > 20
    assert any("EGI data is currently unsupported" in line for line in reader.lines)


def test_a_zstd_frame_that_needs_a_larger_window_is_read_only_when_allowed(gen, tmp_path):
    plain = gen("run.dat", events=2000)
    path = tmp_path / "wide.zst"
    # From a pipe the frame's size is unknown, so it asks for the whole 256 MiB window.
    with open(plain, "rb") as data, open(path, "wb") as packed:
        subprocess.run(["zstd", "-q", "--long=28", "-c"], stdin=data, stdout=packed, check=True)
    with pytest.raises(tuda.DamagedDataError) as error:
        tuda.read(path)
    assert str(error.value) == (f"zstd data of {path} need a 256 MiB window at uncompressed byte 0, more than"
                                " the 128 MiB allowed (allow it with --zstd-window-log 28), reading no further")
    with pytest.raises(tuda.DamagedDataError, match="need a 256 MiB window"):
        tuda.stat(path)
    whole = tuda.read(plain)
    allowed = tuda.read(path, zstd_window_log=28)
    np.testing.assert_array_equal(allowed.adc.offsets, whole.adc.offsets)
    np.testing.assert_array_equal(allowed.adc.value, whole.adc.value)
    assert tuda.stat(path, zstd_window_log=28)["read_to_end"] is True
    assert tuda.check(path, zstd_window_log=28)["looks_right"] is True
    with pytest.raises(ValueError):
        tuda.read(path, zstd_window_log=99)


@pytest.mark.parametrize("call", ["tuda.read('/dev/zero', force=True)", "tuda.stat('/dev/zero', force=True)",
                                  "tuda.check('/dev/zero', all=True)"])
def test_ctrl_c_raises_keyboard_interrupt_while_decoding(call):
    script = (f"import tuda\ntry:\n  print('ready', flush=True)\n  {call}\n"
              "except KeyboardInterrupt:\n  print('interrupted')")
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=os.environ)
    # Ctrl-C after the import, however long it takes on a loaded machine; the pause lets the call begin.
    assert child.stdout.readline() == b"ready\n"
    time.sleep(0.5)
    child.send_signal(signal.SIGINT)
    out, err = child.communicate(timeout=10)
    assert out == b"interrupted\n", err
