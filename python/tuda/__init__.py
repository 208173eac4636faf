"""Decoded TUDA list-mode data files as numpy arrays.

    >>> import tuda
    >>> events = tuda.read("run.dat")
    >>> events.adc.channel, events.adc.value, events.adc.offsets
    >>> for batch in tuda.iterate(["run1.dat", "run2.dat.gz"], step="64 MB"):
    ...     ...

Events and items come out in the order and numbering of `tuda export`: several files are read in
order through one reader (the items after a file's last event-start token come out with the next
file's first event), events numbered from 0. The arrays are filled in C++ and handed over without
a copy. Nothing is printed: the reader's lines are gathered (Reader.lines), losses are warnings
(DataLossWarning), failures exceptions.
"""

import os
import re
import warnings

import numpy as np

from . import _tuda

__version__ = _tuda.__version__

__all__ = [
    "read", "iterate", "Reader", "Events", "Items", "stat", "check", "histogram",
    "FormatError", "DamagedDataError", "DataLossWarning", "KINDS",
]

KINDS = ("adc", "tdc", "scaler", "epics")
_VALUE_TYPES = {"adc": np.uint16, "tdc": np.uint16, "scaler": np.uint32, "epics": np.float32}
_NO_LIMIT = 2**64 - 1
_UNITS = {"b": 1, "kb": 2**10, "kib": 2**10, "mb": 2**20, "mib": 2**20, "gb": 2**30, "gib": 2**30}
_SIZE = re.compile(r"\s*(\d+(?:\.\d+)?)\s*([a-zA-Z]*)\s*$")


class FormatError(ValueError):
    """A file does not start with a data block (pass force=True to decode it anyway)."""


class DamagedDataError(OSError):
    """Compressed data are damaged: names the file, the codec and the uncompressed offset.

    Raised after every batch before the damage; `events` holds what read() decoded before it.
    """

    events = None


class DataLossWarning(UserWarning):
    """Words of a file were not decoded: the text says how many and why."""


class Items:
    """The items of one kind: rows offsets[i] to offsets[i + 1] of channel and value are event i's."""

    __slots__ = ("channel", "value", "offsets")

    def __init__(self, channel, value, offsets):
        self.channel = channel
        self.value = value
        self.offsets = offsets

    def __len__(self):
        return len(self.channel)

    def __repr__(self):
        return f"Items({len(self.channel)} items of {len(self.offsets) - 1} events)"


class Events:
    """A run of events: len(), first_event, and adc, tdc, scaler, epics (None when not asked for)."""

    def __init__(self, batch):
        self.first_event = int(batch["first_event"])
        self._events = int(batch["events"])
        self._kinds = {kind: Items(*batch[kind]) for kind in KINDS if kind in batch}

    @classmethod
    def _empty(cls, kinds, first_event=0):
        batch = {"first_event": first_event, "events": 0}
        for kind in kinds:
            batch[kind] = (np.empty(0, np.uint16), np.empty(0, _VALUE_TYPES[kind]), np.zeros(1, np.int64))
        return cls(batch)

    def __len__(self):
        return self._events

    def __repr__(self):
        kinds = ", ".join(f"{kind} {len(items)}" for kind, items in self._kinds.items())
        return f"Events({self._events} events from {self.first_event}; items: {kinds})"

    adc = property(lambda self: self._kinds.get("adc"))
    tdc = property(lambda self: self._kinds.get("tdc"))
    scaler = property(lambda self: self._kinds.get("scaler"))
    epics = property(lambda self: self._kinds.get("epics"))

    def to_pandas(self, kind):
        """A pandas DataFrame of the kind's items: columns event, channel, value."""
        import pandas as pd

        items = self._items(kind)
        numbers = np.arange(self.first_event, self.first_event + self._events, dtype=np.int64)
        event = np.repeat(numbers, np.diff(items.offsets))
        return pd.DataFrame({"event": event, "channel": items.channel, "value": items.value})

    def _items(self, kind):
        if kind not in KINDS:
            raise ValueError(f"kind must be one of {', '.join(KINDS)}, not {kind!r}")
        if kind not in self._kinds:
            raise ValueError(f"these events were read without their {kind} items")
        return self._kinds[kind]


def _names(files):
    if isinstance(files, (str, bytes, os.PathLike)):
        files = [files]
    names = [os.fsdecode(os.fspath(name)) for name in files]
    if not names:
        raise ValueError("no files given")
    return names


def _kind_names(kinds):
    if kinds is None:
        return list(KINDS)
    if isinstance(kinds, str):
        kinds = [kinds]
    kinds = list(kinds)
    for kind in kinds:
        if kind not in KINDS:
            raise ValueError(f"kind must be one of {', '.join(KINDS)}, not {kind!r}")
    return kinds


def _kind_bits(kinds):
    bits = 0
    for kind in kinds:
        bits |= _tuda.KIND_BITS[kind]
    return bits


def _count(name, value, lowest=0):
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)) or value < lowest:
        raise ValueError(f"{name} must be a whole number of at least {lowest}, not {value!r}")
    return int(value)


def _step_limits(step):
    """(events, bytes) of a batch: a count of events, or a size such as "64 MB" (MB = 2**20 bytes)."""
    if isinstance(step, str):
        match = _SIZE.match(step)
        unit = match and _UNITS.get((match.group(2) or "b").lower())
        if not unit:
            raise ValueError(f"step must be a count of events or a size such as '64 MB', not {step!r}")
        size = int(float(match.group(1)) * unit)
        if size < 1:
            raise ValueError(f"step must be at least one byte, not {step!r}")
        return _NO_LIMIT, size
    return _count("step", step, 1), _NO_LIMIT


def _window_log(zstd_window_log):
    """The zstd window of `tuda --zstd-window-log`: frames may need up to 2**N bytes; 0 is the default."""
    return _count("zstd_window_log", zstd_window_log, 1) or 0


def _raise(problem, events=None):
    kind, name, message = problem
    if kind == "missing":
        raise FileNotFoundError(2, message, name)
    if kind == "no_data_block":
        raise FormatError(message)
    if kind == "damaged":
        error = DamagedDataError(message)
        error.events = events
        raise error
    raise OSError(message)


def _warn(texts, stacklevel):
    for text in texts:
        warnings.warn(text, DataLossWarning, stacklevel=stacklevel + 1)


class Reader:
    """Batches of Events over files read in order through one reader; see iterate().

    `lines` holds the reader's own lines (each cause's first few), `line_counts` how many times
    each cause of undecoded words was met. Memory stays that of one batch over a file of any size.
    """

    def __init__(self, files, step=100_000, kinds=None, force=False, skip=0, events=None,
                 zstd_window_log=None):
        self.files = _names(files)
        self._kinds = _kind_names(kinds)
        self._events, self._bytes = _step_limits(step)
        limit = _count("events", events)
        self._core = _tuda._Reader(self.files, _kind_bits(self._kinds), bool(force), _count("skip", skip),
                                   _NO_LIMIT if limit is None else limit, _window_log(zstd_window_log))
        self._problem = None
        problem = self._core.check_files()
        if problem:
            _raise(problem)

    def __iter__(self):
        return self

    def __next__(self):
        if self._problem:
            problem, self._problem = self._problem, None
            _raise(problem)
        batch, losses, problem = self._core.next(self._events, self._bytes)
        _warn(losses, 2)
        if problem and batch is None:
            _raise(problem)
        self._problem = problem
        if batch is None:
            raise StopIteration
        return Events(batch)

    def read(self):
        """Every event left, as one Events."""
        batch, losses, problem = self._core.next(_NO_LIMIT, _NO_LIMIT)
        _warn(losses, 2)
        events = Events(batch) if batch is not None else Events._empty(self._kinds)
        if problem:
            _raise(problem, events)
        return events

    @property
    def lines(self):
        return self._core.lines

    @property
    def line_counts(self):
        return self._core.line_counts


def read(files, kinds=None, skip=0, events=None, force=False, zstd_window_log=None):
    """Every event of the files (a name, a path or a list; "-" is standard input) as one Events.

    `skip` passes over the first events (they keep their numbers), `events` stops after that many,
    `kinds` names the kinds to keep (default all four), `force` decodes a file that does not start
    with a data block, `zstd_window_log` allows zstd frames a window of up to 2**N bytes.
    """
    return Reader(files, kinds=kinds, force=force, skip=skip, events=events,
                  zstd_window_log=zstd_window_log).read()


def iterate(files, step=100_000, kinds=None, force=False, zstd_window_log=None):
    """Events in batches of at most `step` events, or with a size such as "64 MB", of at most
    that many bytes of arrays (more only when one event alone has more)."""
    return Reader(files, step=step, kinds=kinds, force=force, zstd_window_log=zstd_window_log)


def stat(path, force=False, zstd_window_log=None):
    """The object `tuda stat --json` writes for the file, as a dict."""
    import json

    text, problem = _tuda._stat(_names(path)[0], bool(force), _window_log(zstd_window_log))
    if problem:
        _raise(problem)
    return json.loads(text)


def check(path, all=False, zstd_window_log=None):
    """`tuda check` on the file: looks_right, the verdict and the evidence, as a dict."""
    verdict, problem = _tuda._check(_names(path)[0], bool(all), _window_log(zstd_window_log))
    if problem:
        _raise(problem)
    return verdict


def histogram(files, kind="adc", bins=None, force=False, zstd_window_log=None):
    """Counts per channel and bin (a 2-D uint64 array, channel x bin) and the bin edges, with the
    binning of `tuda spectra`: `bins` equal bins over the kind's range (default 4096)."""
    filled = _tuda._Histogram(kind, _count("bins", bins, 1) or 0)
    for batch in Reader(files, step=1 << 16, kinds=[kind], force=force, zstd_window_log=zstd_window_log):
        items = batch._items(kind)
        filled.fill(items.channel, items.value, items.offsets)
    return filled.counts(), filled.edges()
