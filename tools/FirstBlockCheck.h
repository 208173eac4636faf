#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "reader/TTudaData.h"
#include "tools/FileCheck.h"

// The look every data-reading subcommand takes at the first block of each file before it decodes
// anything: a file whose first block is not a data block is refused, one line each,
//   "tuda stat: run.tar does not start with a data block (identifier 75 73 74 61 72 ...); use
//   --force to decode it anyway",
// unless --force was given. A file shorter than one block is never refused. A regular file is
// looked at through a source of its own before any file is decoded; standard input, a pipe or a
// device can be read only once, so it is looked at as its first block passes the command's own
// reader, which still decodes those bytes.
class FirstBlockCheck {
 public:
  explicit FirstBlockCheck(const char* command) : command(command) {}

  // Declares --force on the command's app and tells of the refusal after its footer.
  void Declare(CLI::App& app);
  // What --force sets, for a caller without a command line.
  void SetForce(bool decodeAnyway) { force = decodeAnyway; }

  // Before anything is decoded: false, with a line for each regular file refused, when any is.
  bool Passes(const std::vector<std::string>& files) const;
  // Right after `reader` opened `file`: a file read only once is looked at now. False, with its
  // line, when it is refused.
  bool PassesOpened(TTudaData& reader, const std::string& file) const;

 private:
  bool Refused(const std::string& file, const BlockStart& start, std::ostream& errors) const;

  const char* const command;
  bool force = false;
};
