#include "tools/GenCommand.h"

#include <fstream>
#include <iostream>

#include "reader/TudaFormat.h"
#include "tools/Options.h"
#include "writer/SyntheticRun.h"

namespace {

const std::vector<OptionRule> kGenOptions{
    {"--events", true}, {"--blocks", true}, {"--seed", true}, {"--swapped", true}};

bool ReadGenOptions(const ParsedArgs& parsed, SyntheticRunOptions& options, std::string& error)
{
  if (parsed.Has("--events") && parsed.Has("--blocks")) {
    error = "give --events or --blocks, not both";
    return false;
  }
  return CountOption(parsed, "--events", options.events, 1, options.events, error) &&
         CountOption(parsed, "--blocks", options.blocks, 1, options.blocks, error) &&
         CountOption(parsed, "--seed", options.seed, 0, options.seed, error) &&
         FractionOption(parsed, "--swapped", options.swappedFraction, options.swappedFraction, error);
}

int RunGen(const std::vector<std::string>& args)
{
  ParsedArgs parsed;
  SyntheticRunOptions options;
  std::string error;
  if (!ParseArgs(args, kGenOptions, parsed, error) || !ReadGenOptions(parsed, options, error)) {
    return UsageError("gen", error);
  }
  if (parsed.positional.size() != 1) return UsageError("gen", "give exactly one output file");

  const std::string& path = parsed.positional[0];
  std::ofstream out(path, std::ios::binary);
  if (!out.is_open()) return DataError("gen", "cannot write " + path);
  const uint64_t blocks = WriteSyntheticRun(out, options);
  out.close();
  if (out.fail()) return DataError("gen", "cannot write " + path);
  std::cout << path << ": " << Counted(blocks, "block") << " of " << TEGBlockSize << " bytes" << std::endl;
  return kExitOk;
}

}  // namespace

const Command kGenCommand{"gen", "Write a synthetic data file",
                          R"(Usage: tuda gen OUT [--events N | --blocks N] [--seed S] [--swapped FRACTION]

Writes a synthetic data file: events of tens of ADC and TDC items, now and then
a few scaler and EPICS items. The same options give the same bytes everywhere.

  --events N           write N events (default 10000)
  --blocks N           write exactly N blocks instead
  --seed S             seed of the generator (default 1)
  --swapped FRACTION   share of the blocks written in the other byte order,
                       from 0 to 1 (default 0)
)",
                          RunGen};
