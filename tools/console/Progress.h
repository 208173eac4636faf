#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>

// How far a command has come: bytes of input consumed and the whole (0 when unknown, as for
// standard input), or events handed on, for a command that cannot see its input.
struct ProgressAmount {
  uint64_t done = 0;
  uint64_t total = 0;
};

// Asked for the amount only when the line is redrawn, a few times a second.
using ProgressSource = std::function<ProgressAmount()>;

enum class ProgressUnit {
  kBytes,   // "tuda NAME: 42% of 1200.0 MB, 350.1 MB/s, 3 s left"
  kEvents,  // "tuda NAME: 120000 events, 40000 events/s, 3 s elapsed"
};

// One progress line on standard error, drawn over itself and cleared at the end. Shown only while
// standard error is a terminal and standard output is not the same terminal, unless nothing is
// written there; never when standard error is not a terminal. While the line is shown, it clears
// itself before anything else is written on standard error (a reader's diagnostic, say) or, when
// standard output is that terminal, on standard output (a node's closing line): std::cerr and
// std::cout write through the line while it lives.
//
// Tick is called per block or per event; the clock is looked at only every `ticksPerLook` ticks,
// so that per event it costs a counter and a comparison.
class ProgressLine {
 public:
  // The ticks between looks for a command that ticks once per event.
  static constexpr unsigned kEventsPerLook = 4096;

  ProgressLine(const std::string& name, ProgressUnit unit, ProgressSource source, bool writesStandardOutput,
               unsigned ticksPerLook);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Tick()
  {
    if (shown && ++ticks >= ticksPerLook) Look();
  }

  // Removes the line, before the command's own lines or at the end.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  void Look();
  std::string Text(const ProgressAmount& amount, double seconds) const;
  void Show(const std::string& text);

  const std::string name;
  const ProgressUnit unit;
  const ProgressSource source;
  const bool shown;
  const unsigned ticksPerLook;
  unsigned ticks = 0;
  bool drawn = false;
  const Clock::time_point start;
  Clock::time_point lastDrawn;
  // The streams' own buffers, given back at the end; the line itself is drawn on `plainError`.
  std::streambuf* plainError = nullptr;
  std::streambuf* plainOutput = nullptr;
  std::unique_ptr<std::streambuf> clearingError;
  std::unique_ptr<std::streambuf> clearingOutput;
};

// Whether a progress line may be shown: standard error a terminal, and standard output either
// not written (`writesStandardOutput` false) or not that terminal.
bool ProgressWanted(bool writesStandardOutput);
