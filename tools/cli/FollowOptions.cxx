#include "tools/cli/FollowOptions.h"

#include <ostream>

#include <CLI/CLI.hpp>

#include "tools/cli/OptionChecks.h"

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
  reader.Source().SetFollow(std::move(settings));
}

bool FollowOptions::Accepts(const TTudaData& reader, const std::string& file) const
{
  if (!follow || reader.Source().Codec() == TCodec::kNone) return true;
  reader.Errors() << "tuda " << command << ": " << file << " is " << CodecName(reader.Source().Codec())
            << "-compressed; --follow reads plain data files only" << std::endl;
  return false;
}

std::optional<uint64_t> FollowOptions::Restarts(TTudaData& reader, const std::string& file) const
{
  const TFollowInput& input = reader.Source().Follow();
  if (!follow || (input.End() != TFollowEnd::kReplaced && input.End() != TFollowEnd::kShrunk)) return std::nullopt;
  TTudaEvent& held = reader.HeldEvent();
  const uint64_t lost = held.adcItems.size() + held.tdcItems.size() + held.epicsItems.size() + held.scalerItems.size();
  held.Clear(nullptr);
  std::ostream& errors = reader.Errors();
  errors << "tuda " << command << ": " << file;
  if (input.End() == TFollowEnd::kReplaced) {
    errors << " was replaced";
  } else {
    errors << " shrank to " << input.ShrunkTo() << " bytes";
  }
  errors << "; reading it from its start as a new run";
  if (lost > 0) errors << ", the " << lost << " items of its unfinished event lost";
  errors << std::endl;
  return lost;
}

bool FollowOptions::ReadsAgain(TTudaData& reader, const std::string& file, const FirstBlockCheck& firstBlock,
                               const std::atomic<bool>& cancel) const
{
  return !cancel.load(std::memory_order_relaxed) && Restarts(reader, file) &&
         firstBlock.Open(reader, file, cancel) != FirstBlockCheck::kRefused && reader.IsOpen();
}

bool FollowOptions::EndedIdle(const TTudaData& reader) const
{
  return follow && reader.Source().Follow().End() == TFollowEnd::kIdle;
}
