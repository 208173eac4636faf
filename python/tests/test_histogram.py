"""tuda.histogram counts as `tuda spectra` does: equal to its CSV for the same files."""

import numpy as np
import pandas as pd
import pytest

import tuda
from conftest import PROGRAM, run, skip_unless_built


def spectra_csv(tmp_path, files, kind, bins):
    skip_unless_built("spectra")
    folder = tmp_path / "spectra"
    options = ["--bins", bins] if bins else []
    result = run(PROGRAM, "spectra", "--out", folder, "--kind", kind, *options, *files)
    assert result.returncode == 0, result.stderr
    return pd.read_csv(folder / f"{kind}.csv")


@pytest.mark.parametrize("kind,bins", [("adc", None), ("tdc", None), ("adc", 100), ("tdc", 7)])
def test_histogram_equals_the_spectra_csv(gen, tmp_path, kind, bins):
    files = [gen("a.dat", events=1500, seed=2), gen("b.dat", events=800, seed=3, swapped=0.5)]
    counts, edges = tuda.histogram(files, kind=kind, bins=bins)
    table = spectra_csv(tmp_path, files, kind, bins)
    assert counts.shape[1] == len(edges) - 1 == (bins or 4096)
    channels, found = np.nonzero(counts)
    np.testing.assert_array_equal(channels, table["channel"].to_numpy())
    np.testing.assert_array_equal(counts[channels, found], table["count"].to_numpy())
    np.testing.assert_allclose(edges[found], table["low"].to_numpy())
    np.testing.assert_allclose(edges[found + 1], table["high"].to_numpy())
    assert counts.sum() == len(getattr(tuda.read(files, kinds=[kind]), kind))


def test_histogram_refuses_other_kinds_and_bins(gen):
    path = gen("run.dat", events=10)
    with pytest.raises(ValueError):
        tuda.histogram(path, kind="scaler")
    with pytest.raises(ValueError):
        tuda.histogram(path, bins=5000)
