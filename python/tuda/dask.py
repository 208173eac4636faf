"""tuda over many files and many machines, with dask.

    >>> import tuda.dask
    >>> counts, edges = tuda.dask.histogram(files, "adc").compute()
    >>> frame = tuda.dask.dataframe(files, "adc")   # columns file, event, channel, value

A task is given file names and block ranges, never a reader: each opens what it reads.
"""

import os

import dask
import dask.dataframe as dd
import numpy as np
import pandas as pd

import tuda
from tuda import _tuda

# A plain file is split into partitions of about this many bytes of blocks.
PARTITION_BYTES = 64 * 2**20
_TO_THE_END = 2**64 - 1


def _narrow_histogram(name, kind, bins, force, zstd_window_log):
    """tuda.histogram of one file, its counts in the narrowest type that holds them: the counts
    travel between workers to be summed, and a file's bins rarely hold more than a few thousand."""
    counts, edges = tuda.histogram(name, kind=kind, bins=bins, force=force, zstd_window_log=zstd_window_log)
    return counts.astype(np.min_scalar_type(counts.max()), copy=False), edges


def _sum(histograms):
    counts = histograms[0][0].astype(np.uint64)
    for more, _ in histograms[1:]:
        counts += more
    return counts, histograms[0][1]


def histogram(files, kind="adc", bins=None, force=False, zstd_window_log=None):
    """A dask Delayed of (counts, edges): the sum of tuda.histogram over each file read alone."""
    parts = [dask.delayed(_narrow_histogram, pure=True)(name, kind, bins, force, zstd_window_log)
             for name in tuda._names(files)]
    return dask.delayed(_sum, pure=True)(parts)


def _ranges(name, blocks_per_partition):
    """(first block, blocks) of each partition of the file: one for a compressed file."""
    if name == "-":
        raise ValueError("standard input cannot be split among tasks")
    if _tuda._codec(name) != "none":
        return [(0, _TO_THE_END)]
    blocks = os.path.getsize(name) // _tuda.BLOCK_BYTES
    step = blocks_per_partition or max(1, PARTITION_BYTES // _tuda.BLOCK_BYTES)
    firsts = list(range(0, blocks, step)) or [0]
    # The last partition reads to the end, whatever the file holds past its last whole block.
    return [(first, step) for first in firsts[:-1]] + [(firsts[-1], _TO_THE_END)]


def _meta(kind):
    return pd.DataFrame({
        "file": pd.Series(dtype=object),
        "event": pd.Series(dtype=np.int64),
        "channel": pd.Series(dtype=np.uint16),
        "value": pd.Series(dtype=tuda._VALUE_TYPES[kind]),
    })


def _read_partition(name, first, blocks, kind, force, window_log):
    """The partition's items, events numbered from 0 within it, and its number of events."""
    batch, problem = _tuda._read_range(name, first, blocks, _tuda.KIND_BITS[kind], force, window_log)
    if problem:
        tuda._raise(problem)
    events = tuda.Events(batch)
    frame = events.to_pandas(kind)
    frame.insert(0, "file", name)
    return frame, len(events)


def _numbered(frame, events_before):
    frame["event"] += events_before
    return frame


def _add(a, b):
    return a + b


def dataframe(files, kind, blocks_per_partition=None, force=False, zstd_window_log=None):
    """A dask DataFrame of the kind's items: columns file (the name as given), event (numbered
    within its file as tuda.read(file) numbers it), channel, value; rows in file and event order.

    A compressed file is one partition; a plain one is split into ranges of whole blocks
    (`blocks_per_partition`, default about 64 MB), each owning the events whose event-start token
    lies in its blocks.
    """
    tuda._kind_names([kind])
    blocks_per_partition = tuda._count("blocks_per_partition", blocks_per_partition, 1)
    window_log = tuda._window_log(zstd_window_log)
    parts = []
    for name in tuda._names(files):
        # The events of the partitions before, summed one partition at a time.
        events_before = 0
        for first, blocks in _ranges(name, blocks_per_partition):
            frame, count = dask.delayed(_read_partition, pure=True, nout=2)(
                name, first, blocks, kind, bool(force), window_log)
            parts.append(dask.delayed(_numbered, pure=True)(frame, events_before))
            events_before = dask.delayed(_add, pure=True)(events_before, count)
    return dd.from_delayed(parts, meta=_meta(kind), verify_meta=False)
