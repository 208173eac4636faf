"""tuda.stat is a line of `tuda stat --json`; tuda.check the verdict and evidence of `tuda check`."""

import gzip

import pytest

import tuda
from conftest import PROGRAM, run, stat_lines


@pytest.mark.parametrize("swapped", [False, True])
def test_stat_equals_the_programs_line(damaged, swapped):
    path = damaged("run.dat", seed=7, swapped=swapped)
    stat = tuda.stat(path)
    assert stat == stat_lines(path)[0]
    assert sum(stat["bytes"].values()) == path.stat().st_size


def test_stat_of_a_compressed_file(gen, tmp_path):
    plain = gen("run.dat", events=500)
    packed = tmp_path / "run.dat.gz"
    packed.write_bytes(gzip.compress(plain.read_bytes()))
    stat = tuda.stat(packed)
    assert stat == stat_lines(packed)[0]
    assert sum(stat["bytes"].values()) == plain.stat().st_size


@pytest.mark.parametrize("all_blocks", [False, True])
def test_check_equals_the_programs_finding(damaged, all_blocks):
    path = damaged("run.dat", seed=8)
    found = tuda.check(path, all=all_blocks)
    lines = run(PROGRAM, "check", *(["--all"] if all_blocks else []), path).stdout.decode().splitlines()
    assert lines[0] == f"{path}: {found['verdict']}"
    assert lines[1:] == ["  " + line for line in found["evidence"]]
    assert found["file"] == str(path) and found["codec"] == "none"
    assert found["looks_right"] is ("looks like" in found["verdict"])


def test_version_is_the_programs():
    assert run(PROGRAM, "--version").stdout.decode().split()[:2] == ["tuda", tuda.__version__]
