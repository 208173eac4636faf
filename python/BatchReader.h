#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "python/EventArrays.h"
#include "python/ReadProblem.h"
#include "python/ReaderLines.h"
#include "reader/TTudaData.h"
#include "tools/cli/ZstdWindowOption.h"

// Reads files in order through one reader, as `tuda export` does (the items after a file's last
// event-start token come out with the next file's first event), and hands the events out in
// batches of arrays; events are numbered from 0 over all files. Memory stays that of one batch.
// One thread at a time calls it; it never touches Python objects, so Python's lock may be released
// around Next (Ctrl-C is looked at after every block, see Interruption.h).
class BatchReader {
 public:
  struct Options {
    unsigned kinds = kAllKindBits;
    bool force = false;
    uint64_t skip = 0;        // events passed over first; they keep their numbers
    uint64_t limit = UINT64_MAX;  // events handed out at most
    ZstdWindowOption window;
  };
  // At most `events` events, and at most `bytes` bytes of arrays unless one event alone has more.
  struct Limits {
    uint64_t events;
    uint64_t bytes;
  };
  // What one Next found besides its events.
  struct Findings {
    std::vector<std::string> lossWarnings;  // "FILE: what was lost", one per file that lost words
    ReadProblem problem;                    // ends the read, after the batch
  };

  BatchReader(std::vector<std::string> files, const Options& options);

  // Missing files and refused first blocks, found before anything is decoded.
  ReadProblem CheckFiles() const;
  // The next batch: empty when the read is over. Throws Interrupted on Ctrl-C (then Discard).
  EventArrays Next(const Limits& limits, Findings& findings);
  // Drops the reader after an interrupted Next; the read is over.
  void Discard();

  const ReaderLines& Lines() const { return lines; }
  // Where the arrays of the batches handed out go back to.
  const std::shared_ptr<VectorPool>& Pool() const { return pool; }

 private:
  TTudaEvent* NextEvent(Findings& findings);
  bool OpenNextFile(Findings& findings);
  void EndFile(Findings& findings);

  const std::vector<std::string> files;
  const Options options;
  ReaderLines lines;
  InterruptLook look;
  GatheringReporter reporter{lines, look};
  std::ostringstream damageLine;
  std::unique_ptr<TTudaData> reader = std::make_unique<TTudaData>();
  size_t fileIndex = 0;
  bool fileOpen = false;
  bool over = false;
  ReaderAccount accountAtOpen;
  TTudaEvent* held = nullptr;  // returned by the reader, not yet taken: it did not fit the batch
  uint64_t number = 0;         // of the next event the reader returns
  uint64_t handedOut = 0;
  EventArrays::Rows lastRows;
  std::shared_ptr<VectorPool> pool = std::make_shared<VectorPool>();
};
