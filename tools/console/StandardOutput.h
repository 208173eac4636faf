#pragma once

#include <ostream>
#include <streambuf>

#include "tools/output/DescriptorBuffer.h"

// The program's standard output: std::cout through a DescriptorBuffer on descriptor 1, watched
// by OutputCheck, while the object lives. The reader and the node end every line with a flush.
// On a terminal each flush writes, so lines show as they come; elsewhere (a file, a pipe) the
// flushes are held and the buffer is written when full, at WriteOutStandardOutput and at the
// end: one write() per block instead of one per line.
//
// std::cerr is tied to a stream that writes the buffer out, so every line on standard error
// comes after everything given to standard output before it, as with line-by-line writing:
// `2>&1` into one file gives the same bytes. Made and ended by main, on the thread that writes
// standard output.
class StandardOutput {
 public:
  StandardOutput();
  ~StandardOutput();
  StandardOutput(const StandardOutput&) = delete;
  StandardOutput& operator=(const StandardOutput&) = delete;

 private:
  // Writes `target` out at every flush; it holds nothing of its own.
  class WriteOutBuffer : public std::streambuf {
   public:
    explicit WriteOutBuffer(DescriptorBuffer& target) : target(target) {}

   protected:
    int sync() override;

   private:
    DescriptorBuffer& target;
  };

  DescriptorBuffer buffer;
  WriteOutBuffer writeOut{buffer};
  std::ostream errorTie{&writeOut};
  std::streambuf* const plainOutput;
  std::ostream* const plainTie;
};
