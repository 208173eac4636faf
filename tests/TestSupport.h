#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

// What every test program shares: the console captured as text, and a scratch folder for the
// data files a test writes.

// A file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Everything read from the descriptor until its end.
inline std::string ReadAll(int descriptor)
{
  std::string text;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = read(descriptor, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) text.append(chunk, static_cast<size_t>(got));
  }
  return text;
}

// What a piece of code wrote on standard output and standard error.
struct Console {
  std::string out;
  std::string err;
};

// Sends std::cout and std::cerr to the given buffers while it lives, which must outlive it.
class ConsoleRedirect {
 public:
  ConsoleRedirect(std::streambuf* out, std::streambuf* err)
      : savedOut(std::cout.rdbuf(out)), savedErr(std::cerr.rdbuf(err))
  {
  }
  ~ConsoleRedirect()
  {
    std::cout.rdbuf(savedOut);
    std::cerr.rdbuf(savedErr);
  }
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

 private:
  std::streambuf* const savedOut;
  std::streambuf* const savedErr;
};

// Silences standard output and standard error while it lives: for fuzz targets and benchmarks,
// whose console the reader's lines would flood.
class QuietConsole : public ConsoleRedirect {
 public:
  QuietConsole() : ConsoleRedirect(nullptr, nullptr) {}
};

// Captures std::cout and std::cerr while it lives.
class ConsoleCapture {
 public:
  // What each stream got since the last look.
  std::string TakeOut() { return Take(out); }
  std::string TakeErr() { return Take(err); }

 private:
  static std::string Take(std::ostringstream& stream)
  {
    const std::string text = stream.str();
    stream.str("");
    return text;
  }

  std::ostringstream out;
  std::ostringstream err;
  const ConsoleRedirect redirect{out.rdbuf(), err.rdbuf()};
};

// What `action` writes on the console; the console is restored even if `action` throws.
template <typename Action>
Console CaptureConsole(Action&& action)
{
  ConsoleCapture capture;
  action();
  Console console;
  console.out = capture.TakeOut();
  console.err = capture.TakeErr();
  return console;
}

// A new, empty folder under the temporary directory, removed with its contents at the end.
class ScratchFolder {
 public:
  ScratchFolder() : folder(MakeFolder()) {}
  ~ScratchFolder()
  {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder itself, without a closing slash.
  const std::string& Path() const { return folder; }
  // The file `name` inside the folder.
  std::string Path(const std::string& name) const { return folder + "/" + name; }

 private:
  static std::string MakeFolder()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "tuda-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder " + pattern);
    return pattern;
  }

  const std::string folder;
};
