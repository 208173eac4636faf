#include "tools/FollowOptions.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/OptionChecks.h"

namespace {

// The longest idle time asked for: a week, far beyond any run.
constexpr double kMostIdleSeconds = 7 * 24 * 3600;

}  // namespace

void FollowOptions::Declare(CLI::App& app)
{
  app.add_flag("--follow", follow,
               "at the end of the data, wait for the file to grow and read on; a file that\n"
               "shrinks or is replaced is read again from its start as a new run")
      ->disable_flag_override();
  AddDecimal(app, "--idle", idleSeconds, kMostIdleSeconds,
             "with --follow, end after SECONDS without growth (default: wait until Ctrl-C)")
      ->type_name("SECONDS");
}

void FollowOptions::Apply(TTudaData& reader, std::function<bool()> look) const
{
  if (!follow) return;
  TFollowSettings settings;
  settings.follow = true;
  settings.idleSeconds = idleSeconds;
  settings.keepWaiting = std::move(look);
  reader.fSource.SetFollow(std::move(settings));
}

bool FollowOptions::Accepts(const TTudaData& reader, const std::string& file) const
{
  if (!follow || reader.fSource.Codec() == TCodec::kNone) return true;
  std::cerr << "tuda " << command << ": " << file << " is " << CodecName(reader.fSource.Codec())
            << "-compressed; --follow reads plain data files only" << std::endl;
  return false;
}

bool FollowOptions::Restarts(const TTudaData& reader, const std::string& file) const
{
  const TFollowInput& input = reader.fSource.Follow();
  if (!follow) return false;
  if (input.End() == TFollowEnd::kReplaced) {
    std::cerr << "tuda " << command << ": " << file << " was replaced; reading it from its start as a new run"
              << std::endl;
    return true;
  }
  if (input.End() == TFollowEnd::kShrunk) {
    std::cerr << "tuda " << command << ": " << file << " shrank to " << input.ShrunkTo()
              << " bytes; reading it from its start as a new run" << std::endl;
    return true;
  }
  return false;
}

bool FollowOptions::EndedIdle(const TTudaData& reader) const
{
  return follow && reader.fSource.Follow().End() == TFollowEnd::kIdle;
}
