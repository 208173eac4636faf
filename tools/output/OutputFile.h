#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "tools/output/DescriptorBuffer.h"

// A file that a command writes whole. A regular file is written under a temporary name beside
// the target and takes the target's name only in Commit, so that a failed or interrupted write
// leaves neither behind (the destructor removes the temporary file). A device, a pipe or "-"
// (standard output) is written directly and never replaced. Messages name the system's reason.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False, with the reason in `error`, when the target cannot be written, or when it is an
  // existing regular file and `overwrite` is not given.
  bool Open(const std::string& path, bool overwrite, std::string& error);

  std::ostream& Stream() { return stream; }
  // Whether every write so far succeeded.
  bool Good() const { return buffer && buffer->Error() == 0 && stream.good(); }
  // The temporary file's name, or null when the target is written directly.
  const char* TemporaryPath() const { return temporary.empty() ? nullptr : temporary.c_str(); }

  // Flushes and closes the file, then gives a temporary file the target's name. False, with the
  // reason in `error`, when anything written was lost.
  bool Commit(std::string& error);

 private:
  bool Resolve(std::string& error);
  bool OpenTemporary(std::string& error);
  bool Rename(std::string& error);
  std::string Failure(int errorNumber) const;
  void Close();
  // Standard output is the program's; every other descriptor opened here is this file's own.
  bool OwnsDescriptor() const;

  std::string target;       // as given, for messages
  std::string destination;  // the file that takes the target's place
  std::string temporary;
  bool overwrite = false;
  int descriptor = -1;
  std::unique_ptr<DescriptorBuffer> buffer;
  std::ostream stream;
};
