#pragma once

#include <cstddef>
#include <iostream>

// The two error lines the decoder and the dump share when a block's words run out: each names
// the operation, the word offset in the block, and what the operation does next.

inline void WriteTokenPastEnd(const char* operation, size_t word, const char* consequence)
{
  std::cerr << operation << ": ERROR - token at word " << std::dec << word
            << " runs past the end of the block, " << consequence << std::endl;
}

inline void WriteNoEndMarker(const char* operation, size_t word, const char* consequence)
{
  std::cerr << operation << ": ERROR - no end-of-block marker before the end of the block at word "
            << std::dec << word << ", " << consequence << std::endl;
}
