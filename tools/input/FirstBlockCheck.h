#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "filecheck/FileCheck.h"
#include "reader/TTudaData.h"

// The look every data-reading subcommand takes at the first block of each file before it decodes
// anything: a file whose first block is not a data block is refused, one line each,
//   "tuda stat: run.tar does not start with a data block (identifier 75 73 74 61 72 ...); use
//   --force to decode it anyway",
// unless --force was given. A file shorter than one block is never refused. A refused file is
// stepped over: the files after it are still read, and the command ends with exit status 1.
// A regular file is looked at through a source of its own before the reader opens it; standard
// input, a pipe or a device can be read only once, so it is looked at as its first block passes
// the command's own reader, which still decodes those bytes.
class FirstBlockCheck {
 public:
  // How a file's first block stands.
  enum Start {
    kDataBlock,  // a data block, or too short to tell: read as usual
    kForced,     // no data block, read only because of --force
    kRefused     // no data block: not read
  };

  // What a refusal does to a command: ends it before anything is read (a command that takes one
  // file, or hands its files to the node), or steps over the file.
  enum Refusal { kEndsTheCommand, kStepsOverTheFile };

  explicit FirstBlockCheck(const char* command) : command(command) {}

  // Declares --force on the command's app and tells of the refusal after its footer.
  void Declare(CLI::App& app, Refusal refusal);
  // What --force sets, for a caller without a command line.
  void SetForce(bool decodeAnyway) { force = decodeAnyway; }

  // For a command that hands its files to the node: false, with a line for each regular file
  // refused, when any is.
  bool Passes(const std::vector<std::string>& files) const;
  // Opens `file` in `reader` unless its first block is refused; the refusal line goes to the
  // reader's error stream (a reader on a worker thread has its lines gathered). Whether the file
  // opened is the reader's to tell; one that does not is given the system's reason. Reads end
  // as at the end of the data once `cancel` is raised (by Ctrl-C), from any thread.
  Start Open(TTudaData& reader, const std::string& file, const std::atomic<bool>& cancel) const;

 private:
  Start Judged(const std::string& file, const BlockStart& start, std::ostream& errors) const;

  const char* const command;
  bool force = false;
};
