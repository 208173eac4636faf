#include "tools/output/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kStandardOutputName = "-";
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr int kTemporaryAttempts = 100;

std::string Folder(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

OutputFile::OutputFile() : stream(nullptr) {}

OutputFile::~OutputFile()
{
  stream.rdbuf(nullptr);
  buffer.reset();
  Close();
  if (!temporary.empty()) unlink(temporary.c_str());
}

bool OutputFile::Open(const std::string& path, bool replace, std::string& error)
{
  target = path;
  destination = path;
  overwrite = replace;
  struct stat status {};
  const bool exists = path != kStandardOutputName && stat(path.c_str(), &status) == 0;
  if (path == kStandardOutputName) {
    descriptor = STDOUT_FILENO;
  } else if (exists && S_ISDIR(status.st_mode)) {
    error = Failure(EISDIR);
    return false;
  } else if (exists && S_ISREG(status.st_mode) && !overwrite) {
    error = path + " exists; give --overwrite to replace it";
    return false;
  } else if (exists && S_ISREG(status.st_mode) && !Resolve(error)) {
    return false;
  } else if (exists && !S_ISREG(status.st_mode)) {
    descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
      error = Failure(errno);
      return false;
    }
  } else if (!OpenTemporary(error)) {
    return false;
  }
  buffer = std::make_unique<DescriptorBuffer>(descriptor);
  stream.rdbuf(buffer.get());
  return true;
}

// A link to a regular file is followed: the file is replaced, not the link.
bool OutputFile::Resolve(std::string& error)
{
  char* const real = realpath(target.c_str(), nullptr);
  if (real == nullptr) {
    error = Failure(errno);
    return false;
  }
  destination = real;
  free(real);
  return true;
}

// Hidden beside the destination, in the same folder, so that the rename cannot cross file
// systems.
bool OutputFile::OpenTemporary(std::string& error)
{
  const std::string stem =
      Folder(destination) + "." + BaseName(destination) + ".tmp" + std::to_string(getpid());
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::string name = stem + (attempt == 0 ? "" : "." + std::to_string(attempt));
    descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (descriptor >= 0) {
      temporary = name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = Failure(errno);
  return false;
}

bool OutputFile::Commit(std::string& error)
{
  stream.flush();
  const int writeError = buffer->Error() != 0 ? buffer->Error() : (stream.good() ? 0 : EIO);
  if (writeError != 0) {
    error = Failure(writeError);
    return false;
  }
  if (OwnsDescriptor() && close(descriptor) != 0) {
    descriptor = -1;
    error = Failure(errno);
    return false;
  }
  descriptor = -1;
  return temporary.empty() || Rename(error);
}

// Without --overwrite, a file that appeared at the target meanwhile is kept.
bool OutputFile::Rename(std::string& error)
{
  const char* const from = temporary.c_str();
  const char* const to = destination.c_str();
  int result = overwrite ? rename(from, to) : renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  // Some file systems cannot rename without replacing; the target was checked at the start.
  if (result != 0 && errno == EINVAL && !overwrite) result = rename(from, to);
  if (result != 0) {
    error = errno == EEXIST ? target + " exists; give --overwrite to replace it" : Failure(errno);
    return false;
  }
  temporary.clear();
  return true;
}

std::string OutputFile::Failure(int errorNumber) const
{
  const std::string name = target == kStandardOutputName ? "standard output" : target;
  return "cannot write " + name + ": " + std::strerror(errorNumber);
}

bool OutputFile::OwnsDescriptor() const
{
  return descriptor >= 0 && target != kStandardOutputName;
}

void OutputFile::Close()
{
  if (OwnsDescriptor()) close(descriptor);
  descriptor = -1;
}
