"""tuda.dask under a two-process cluster on the loopback equals the serial results."""

import numpy as np
import pandas as pd
import pytest

import tuda

dask_distributed = pytest.importorskip("distributed")
import tuda.dask  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with dask_distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None) as cluster:
        with dask_distributed.Client(cluster) as client:
            yield client


def serial_frame(files, kind):
    frames = []
    for name in files:
        frame = tuda.read(name).to_pandas(kind)
        frame.insert(0, "file", str(name))
        frames.append(frame)
    return pd.concat(frames, ignore_index=True)


def test_histogram_is_the_sum_over_files(client, gen):
    files = [gen(f"{i}.dat", events=700, seed=i) for i in range(3)]
    counts, edges = tuda.dask.histogram(files, "tdc", bins=64).compute()
    expected = sum(tuda.histogram(name, "tdc", bins=64)[0] for name in files)
    assert counts.dtype == np.uint64  # the parts travel narrowed, the sum is whole
    np.testing.assert_array_equal(counts, expected)
    np.testing.assert_array_equal(edges, tuda.histogram(files[0], "tdc", bins=64)[1])


@pytest.mark.parametrize("blocks", [1, 7, None])
def test_block_partitions_give_the_whole_file(client, damaged, blocks):
    files = [damaged("a.dat", seed=11), damaged("b.dat", seed=12, swapped=True)]
    with pytest.warns(tuda.DataLossWarning):
        expected = serial_frame(files, "adc")
    frame = tuda.dask.dataframe(files, "adc", blocks_per_partition=blocks)
    if blocks == 1:
        assert frame.npartitions > 20
    got = frame.compute().reset_index(drop=True)
    pd.testing.assert_frame_equal(got, expected, check_dtype=True)


def test_compressed_file_is_one_partition(client, gen, tmp_path):
    import gzip
    plain = gen("run.dat", events=2000)
    packed = tmp_path / "run.dat.gz"
    packed.write_bytes(gzip.compress(plain.read_bytes()))
    frame = tuda.dask.dataframe([packed, plain], "epics", blocks_per_partition=3)
    assert frame.npartitions == 1 + -(-(plain.stat().st_size // 32768) // 3)
    expected = serial_frame([packed, plain], "epics")
    pd.testing.assert_frame_equal(frame.compute().reset_index(drop=True), expected)
