#pragma once

#include <functional>
#include <string>

#include "reader/TTudaData.h"

namespace CLI {
class App;
}

// --follow and --idle of the commands that read with one reader: a plain file is read on as it
// grows, and read again from its start, as a new run, when it shrinks or is replaced.
class FollowOptions {
 public:
  explicit FollowOptions(const char* command) : command(command) {}

  void Declare(CLI::App& app);
  bool Following() const { return follow; }

  // Sets `reader` to follow the files it opens from now on; `look` is called at every look at a
  // file that has not grown, and returns false to stop waiting (Ctrl-C).
  void Apply(TTudaData& reader, std::function<bool()> look) const;
  // After `reader` opened `file`: false, with a usage line, when the file is compressed and
  // following was asked for.
  bool Accepts(const TTudaData& reader, const std::string& file) const;
  // After the reader ran out of data: true, with one line, when the file shrank or was replaced
  // and is to be read again from its start.
  bool Restarts(const TTudaData& reader, const std::string& file) const;
  // Whether the reading ended because the file did not grow for the idle time.
  bool EndedIdle(const TTudaData& reader) const;

 private:
  const char* const command;
  bool follow = false;
  double idleSeconds = 0;
};
