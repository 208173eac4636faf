// The listing rate of `tuda events RUN > FILE` and `tuda run --file RUN --print values > FILE`,
// this build's program against a reference program (another build, e.g. before a change), and
// `cat RUN > FILE` for the rate of merely copying the run. All are timed interleaved, round by
// round, in one run, into one file in the temporary folder; the median of the rounds is
// reported as MB/s of input, with the ratio this build / reference.
// Usage: tuda_listing_bench [--reference PATH] [--rounds N] [--blocks N]
//   (defaults: no reference, 3 rounds, 1434 blocks: a 47 MB realistic run)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchFile.h"
#include "bench/CommandTiming.h"
#include "reader/TTudaData.h"

namespace {

constexpr const char* kName = "tuda_listing_bench";
constexpr uint64_t kDefaultBlocks = 1434;
constexpr int kDefaultRounds = 3;

struct Settings {
  std::string reference;
  int rounds = kDefaultRounds;
  uint64_t blocks = kDefaultBlocks;
};

struct Listing {
  const char* name;
  const char* arguments;  // before the run's path
};

const Listing kListings[] = {{"events", " events "}, {"run values", " run --print values --file "}};

Settings Parse(int argc, char** argv)
{
  Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--reference") {
      settings.reference = argv[i + 1];
    } else if (option == "--rounds") {
      settings.rounds = std::max(1, std::atoi(argv[i + 1]));
    } else if (option == "--blocks") {
      settings.blocks = std::strtoull(argv[i + 1], nullptr, 10);
    } else {
      std::fprintf(stderr, "%s: unknown option %s\n", kName, argv[i]);
      std::exit(2);
    }
  }
  return settings;
}

// MB/s of input for one timed command; its standard error is dropped (the account line).
double Rate(const std::string& command, const std::string& out, uint64_t blocks)
{
  const double seconds = TimedSeconds(command + " > " + out + " 2>/dev/null", kName);
  return static_cast<double>(blocks * TEGBlockSize) / kBytesPerMegabyte / seconds;
}

void PrintRow(const char* name, double rate, double reference)
{
  std::printf("%-11s %9.1f", name, rate);
  if (reference > 0) std::printf(" %9.1f %6.2f", reference, rate / reference);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
  const Settings settings = Parse(argc, argv);
  const std::string run = BenchRunFile(settings.blocks);
  const std::string out = (std::filesystem::temp_directory_path() / "tuda-listing-bench.out").string();
  const std::string program = BesideBenchmark("tuda");
  std::vector<std::vector<double>> rates(std::size(kListings)), references(std::size(kListings));
  std::vector<double> copies;
  for (int round = 0; round < settings.rounds; ++round) {
    for (size_t i = 0; i < std::size(kListings); ++i) {
      rates[i].push_back(Rate(program + kListings[i].arguments + run, out, settings.blocks));
      if (settings.reference.empty()) continue;
      references[i].push_back(Rate(settings.reference + kListings[i].arguments + run, out, settings.blocks));
    }
    copies.push_back(Rate("cat " + run, out, settings.blocks));
  }
  std::filesystem::remove(out);

  std::printf("%-11s %9s%s\n", "listing", "MB/s", settings.reference.empty() ? "" : " reference  ratio");
  for (size_t i = 0; i < std::size(kListings); ++i) {
    PrintRow(kListings[i].name, Median(rates[i]), settings.reference.empty() ? 0.0 : Median(references[i]));
  }
  PrintRow("cat", Median(copies), 0.0);
  std::printf("MB/s of input (%.1f MB), medians of %d rounds, each into %s\n",
              static_cast<double>(settings.blocks * TEGBlockSize) / kBytesPerMegabyte, settings.rounds, out.c_str());
  return 0;
}
