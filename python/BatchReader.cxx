#include "python/BatchReader.h"

BatchReader::BatchReader(std::vector<std::string> files, const Options& options)
    : files(std::move(files)), options(options)
{
  reader->SetReporter(&reporter);
  reader->Source().SetCancel(&look.Cancel());
  options.window.Install(*reader);
}

ReadProblem BatchReader::CheckFiles() const
{
  for (const std::string& file : files) {
    ReadProblem problem = CheckBeforeReading(file, options.force);
    if (problem) return problem;
  }
  return ReadProblem();
}

EventArrays BatchReader::Next(const Limits& limits, Findings& findings)
{
  EventArrays batch(options.kinds);
  batch.Reserve(lastRows, *pool);
  while (batch.Events() < limits.events && handedOut < options.limit) {
    TTudaEvent* event = held != nullptr ? held : NextEvent(findings);
    held = nullptr;
    if (event == nullptr) break;
    if (number < options.skip) {
      ++number;
      event->Clear(nullptr);
      continue;
    }
    if (batch.Events() > 0 && batch.Bytes() + batch.BytesOf(*event) > limits.bytes) {
      held = event;
      break;
    }
    batch.Add(*event, number++);
    ++handedOut;
    event->Clear(nullptr);
  }
  look.ThrowIfRaised();
  if (batch.Events() > 0) lastRows = batch.Sizes();
  return batch;
}

TTudaEvent* BatchReader::NextEvent(Findings& findings)
{
  while (!over) {
    if (!fileOpen && !OpenNextFile(findings)) return nullptr;
    TTudaEvent* event = reader->GetNextEvent();
    if (event != nullptr) return event;
    // Ctrl-C ended the data, not the file.
    look.ThrowIfRaised();
    EndFile(findings);
  }
  return nullptr;
}

bool BatchReader::OpenNextFile(Findings& findings)
{
  if (fileIndex == files.size()) {
    over = true;
    return false;
  }
  const std::string& file = files[fileIndex];
  damageLine.str("");
  reader->OpenDataFile(file.c_str());
  // The damage line is the exception's text, not one of the gathered lines.
  reader->Source().SetErrors(damageLine);
  findings.problem = CheckOpened(*reader, file, options.force);
  over = static_cast<bool>(findings.problem);
  fileOpen = !over;
  accountAtOpen = reporter.Account();
  return fileOpen;
}

void BatchReader::EndFile(Findings& findings)
{
  const std::string& file = files[fileIndex];
  const std::string lost = AccountText(AccountSince(reporter.Account(), accountAtOpen));
  if (!lost.empty()) findings.lossWarnings.push_back(file + ": " + lost);
  findings.problem = CheckDamage(*reader, file, damageLine.str());
  over = static_cast<bool>(findings.problem);
  fileOpen = false;
  ++fileIndex;
}

void BatchReader::Discard()
{
  held = nullptr;
  reader.reset();
  over = true;
}
