"""tuda.iterate: batches of at most `step` events, or of at most so many bytes of arrays."""

import numpy as np
import pytest

import tuda

KINDS = ("adc", "tdc", "scaler", "epics")


def joined(batches, kind):
    return np.concatenate([getattr(batch, kind).channel for batch in batches])


def array_bytes(batch):
    return sum(items.channel.nbytes + items.value.nbytes + items.offsets.nbytes
               for items in (batch.adc, batch.tdc, batch.scaler, batch.epics))


@pytest.mark.parametrize("step", [1, 7, 1000, 100_000])
def test_step_by_events(gen, step):
    path = gen("run.dat", events=2500, swapped=0.3)
    whole = tuda.read(path)
    batches = list(tuda.iterate(path, step=step))
    assert all(len(batch) <= step for batch in batches)
    assert [batch.first_event for batch in batches] == list(np.cumsum([0] + [len(b) for b in batches[:-1]]))
    assert sum(len(batch) for batch in batches) == len(whole)
    for kind in KINDS:
        np.testing.assert_array_equal(joined(batches, kind), getattr(whole, kind).channel)


@pytest.mark.parametrize("step,limit", [("64 kB", 64 * 1024), ("1 MB", 2**20), ("100B", 100)])
def test_step_by_bytes(damaged, step, limit):
    path = damaged("run.dat", seed=5)
    with pytest.warns(tuda.DataLossWarning):
        whole = tuda.read(path)
    with pytest.warns(tuda.DataLossWarning):
        batches = list(tuda.iterate(path, step=step))
    for batch in batches:
        # Only one event alone may pass the limit.
        assert array_bytes(batch) <= limit or len(batch) == 1
    assert sum(len(batch) for batch in batches) == len(whole)
    for kind in KINDS:
        np.testing.assert_array_equal(joined(batches, kind), getattr(whole, kind).channel)


@pytest.mark.parametrize("step", [0, -1, "lots", "0 MB", 2.5])
def test_bad_steps(gen, step):
    with pytest.raises(ValueError):
        tuda.iterate(gen("run.dat", events=10), step=step)


def test_memory_given_back_is_refilled_only_after_numpy_lets_go(gen):
    path = gen("run.dat", events=6000, swapped=0.5)
    whole = tuda.read(path)
    kept = []
    for number, batch in enumerate(tuda.iterate(path, step=400)):
        # Every other batch is kept; the others' memory serves later batches.
        if number % 2 == 0:
            kept.append(batch)
        else:
            first, last = batch.adc.offsets[0], batch.adc.offsets[-1]
            start = whole.adc.offsets[batch.first_event]
            np.testing.assert_array_equal(batch.adc.value, whole.adc.value[start + first:start + last])
    for batch in kept:
        start, end = whole.adc.offsets[batch.first_event], whole.adc.offsets[batch.first_event + len(batch)]
        np.testing.assert_array_equal(batch.adc.value, whole.adc.value[start:end])
        np.testing.assert_array_equal(batch.adc.offsets, whole.adc.offsets[batch.first_event:batch.first_event + len(batch) + 1] - start)
