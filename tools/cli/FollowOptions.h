#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "reader/TTudaData.h"
#include "tools/input/FirstBlockCheck.h"

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
  // After `reader` opened `file`: false, with a usage line on the reader's error stream, when the file is compressed and
  // following was asked for.
  bool Accepts(const TTudaData& reader, const std::string& file) const;
  // After the reader ran out of data: when the file shrank or was replaced and is to be read
  // again from its start, the items of the unfinished event held from the old run, which are
  // dropped, told in one line on the reader's error stream; nothing otherwise.
  std::optional<uint64_t> Restarts(TTudaData& reader, const std::string& file) const;
  // After the reader ran out of data: true when `cancel` (Ctrl-C) was not raised, the file is to
  // be read again from its start (see Restarts) and it opened again, as `firstBlock` opens it.
  bool ReadsAgain(TTudaData& reader, const std::string& file, const FirstBlockCheck& firstBlock,
                  const std::atomic<bool>& cancel) const;
  // Whether the reading ended because the file did not grow for the idle time.
  bool EndedIdle(const TTudaData& reader) const;

 private:
  const char* const command;
  bool follow = false;
  double idleSeconds = 0;
};
