#include "python/Interruption.h"

#include <pybind11/pybind11.h>

bool InterruptPending()
{
  const pybind11::gil_scoped_acquire lock;
  return PyErr_CheckSignals() != 0;
}

void CheckForInterrupt()
{
  if (InterruptPending()) throw Interrupted();
}
