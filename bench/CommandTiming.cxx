#include "bench/CommandTiming.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

double TimedSeconds(const std::string& command, const char* bench)
{
  const auto start = std::chrono::steady_clock::now();
  if (!Shell(command)) {
    std::cerr << bench << ": failed: " << command << std::endl;
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string BesideBenchmark(const std::string& name)
{
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}
