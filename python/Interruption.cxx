#include "python/Interruption.h"

#include <pybind11/pybind11.h>

void InterruptLook::AfterBlock()
{
  if (Raised()) return;
  const pybind11::gil_scoped_acquire lock;
  if (PyErr_CheckSignals() != 0) cancel.store(true, std::memory_order_relaxed);
}

void InterruptLook::ThrowIfRaised() const
{
  if (Raised()) throw Interrupted();
}
