#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Many files on several threads, their results handed on in the order the files were named: the
// runner behind `--jobs`. Each file is one job: `work(index)` runs on a worker thread and makes
// the file's result with a reader of its own, writing nothing on the console (it gathers its
// lines; see GatheredLines). `deliver(index, result)` runs on the calling thread, file after
// file in order, as soon as a file and all before it are done: it alone writes. The one
// hand-over is the result, moved from worker to caller under the runner's lock.
//
// While it waits, the calling thread runs `waiting()` about ten times a second (a progress line)
// and asks `keepGoing()`; once that says stop, no further file is started, and the files already
// started are still delivered (their work should look at the interrupt itself and stop early).
// Workers ask `interrupted()`, which must be safe on any thread, before they start a file.
// The most files read at a time, and the default: one per core.
static constexpr uint64_t kMostJobs = 1024;

inline unsigned Cores()
{
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

struct FileJobHooks {
  std::function<bool()> keepGoing = [] { return true; };
  std::function<void()> waiting = [] {};
  std::function<bool()> interrupted = [] { return false; };
};

template <typename Result>
void RunFileJobs(size_t files, unsigned jobs, const std::function<Result(size_t)>& work,
                 const std::function<void(size_t, Result&)>& deliver, const FileJobHooks& hooks = FileJobHooks())
{
  constexpr std::chrono::milliseconds kWaitingPeriod{100};
  std::mutex mutex;
  std::condition_variable finished;
  std::vector<std::optional<Result>> results(files);
  size_t started = 0;
  bool stopping = false;

  const auto worker = [&] {
    for (;;) {
      size_t index = 0;
      {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = stopping || hooks.interrupted();
        if (stopping || started == files) return;
        index = started++;
      }
      Result result = work(index);
      {
        const std::lock_guard<std::mutex> lock(mutex);
        results[index].emplace(std::move(result));
      }
      finished.notify_one();
    }
  };
  std::vector<std::thread> threads;
  const size_t threadCount = std::min<size_t>(std::max(jobs, 1u), files);
  for (size_t i = 0; i < threadCount; ++i) threads.emplace_back(worker);

  for (size_t index = 0; index < files; ++index) {
    std::unique_lock<std::mutex> lock(mutex);
    while (!results[index] && !(stopping && index >= started)) {
      finished.wait_for(lock, kWaitingPeriod);
      lock.unlock();
      hooks.waiting();
      const bool stop = !hooks.keepGoing();
      lock.lock();
      stopping = stopping || stop;
    }
    if (!results[index]) break;
    Result result = std::move(*results[index]);
    results[index].reset();
    lock.unlock();
    deliver(index, result);
    const bool stop = !hooks.keepGoing();
    lock.lock();
    stopping = stopping || stop;
  }
  for (std::thread& thread : threads) thread.join();
}
