// The benchmark program: the plain read loop, the reader alone and the node's whole run over the
// same page-cached realistic run, their repetitions interleaved at random, and at the end each
// one's median throughput as a share of the plain read loop's.
//
// Defaults, each overridden by the same flag given on the command line: 9 repetitions, random
// interleaving, aggregates only.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <vector>

#include "bench/ShareReporter.h"

namespace {

constexpr const char* kBaseline = "PlainRead";
const char* const kDefaultFlags[] = {
    "--benchmark_repetitions=9",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_display_aggregates_only=true",
};

}  // namespace

int main(int argc, char** argv)
{
  // Flags later on the line win, so the caller's own come after the defaults.
  std::vector<char*> args{argv[0]};
  for (const char* flag : kDefaultFlags) args.push_back(const_cast<char*>(flag));
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  // Colours only for a terminal: a log or a pipe gets plain text.
  ShareReporter reporter(kBaseline, isatty(STDOUT_FILENO) ? ShareReporter::OO_ColorTabular
                                                           : ShareReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
