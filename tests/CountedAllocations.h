#pragma once

// Counts every allocation made through operator new by the test program, on any thread. It
// replaces the program's operator new and delete: include it in one source file of a program.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

inline std::atomic<size_t> allocationCount{0};

// Out of line, as is delete, so that the compiler does not pair the malloc and free inside them
// with the allocation and release around them and take them for a mismatch.
__attribute__((noinline)) void* operator new(std::size_t size)
{
  ++allocationCount;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

__attribute__((noinline)) void operator delete(void* memory) noexcept
{
  std::free(memory);
}

__attribute__((noinline)) void operator delete(void* memory, std::size_t) noexcept
{
  std::free(memory);
}
