#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "reader/TCodec.h"

// The codec an output name asks for by its ending (.gz, .bz2, .xz, .zst, .lz4); kNone for any
// other name.
TCodec CodecOfOutputName(const std::string& path);

// An output stream that compresses everything written to it, with every checksum the codec
// carries (see Encoder), into the file `path`. Wrap it around the data file writer:
//   CompressedOutput out(path, CodecOfOutputName(path));
//   WriteSyntheticRun(out, options);
//   if (!out.Close()) ... out.Error() ...
// The same bytes in give the same bytes out (no time stamp is stored). In a build without
// compressed files, or for kNone, the stream fails at once with Error() saying why.
class CompressedOutput : public std::ostream {
 public:
  CompressedOutput(const std::string& path, TCodec codec);
  // The same into `sink`, which must outlive the stream and is left open; `name` for messages.
  CompressedOutput(std::ostream& sink, const std::string& name, TCodec codec);
  ~CompressedOutput() override;
  CompressedOutput(const CompressedOutput&) = delete;
  CompressedOutput& operator=(const CompressedOutput&) = delete;

  // Writes what is buffered and ends the compressed stream; false, with Error(), when any of it
  // could not be written. Destruction closes a stream not closed yet.
  bool Close();
  // What went wrong, in a few words with the file's name; empty while nothing has.
  const std::string& Error() const;

  class Filter;

 private:
  explicit CompressedOutput(std::unique_ptr<Filter> made);

  std::unique_ptr<Filter> filter;
};
