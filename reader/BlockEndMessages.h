#pragma once

#include <cstddef>
#include <ostream>

// The two error lines the decoder and the dump share when a block's words run out, on `errors`:
// each names the operation, the word offset in the block, and what the operation does next.

inline void WriteTokenPastEnd(std::ostream& errors, const char* operation, size_t word, const char* consequence)
{
  errors << operation << ": ERROR - token at word " << std::dec << word
         << " runs past the end of the block, " << consequence << std::endl;
}

inline void WriteNoEndMarker(std::ostream& errors, const char* operation, size_t word, const char* consequence)
{
  errors << operation << ": ERROR - no end-of-block marker before the end of the block at word "
         << std::dec << word << ", " << consequence << std::endl;
}
