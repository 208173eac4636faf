#include "python/Interruption.h"

#include <pybind11/pybind11.h>

namespace {

unsigned long mainThread = 0;

}  // namespace

void InterruptLook::NoteMainThread()
{
  mainThread = pybind11::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
}

// The thread's identity is read without Python's lock: it is the system's own.
InterruptLook::InterruptLook() : onMainThread(PyThread_get_thread_ident() == mainThread) {}

void InterruptLook::AfterBlock()
{
  if (!onMainThread || Raised()) return;
  const pybind11::gil_scoped_acquire lock;
  if (PyErr_CheckSignals() != 0) cancel.store(true, std::memory_order_relaxed);
}

void InterruptLook::ThrowIfRaised() const
{
  if (Raised()) throw Interrupted();
}
