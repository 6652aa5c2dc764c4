#include "OutputFile.h"

#include "Interruption.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace MorvaTool {

namespace {

namespace fs = std::filesystem;

std::string getErrorText(const std::string& fileName, int error) {
  return fileName + ": " + std::strerror(error);
}

// The end of a chain of symbolic links, which need not exist; false for a
// chain that does not end (a loop).
bool resolveLinks(const std::string& fileName, std::string& target, int& error) {
  fs::path path(fileName);
  // The kernel's own bound on links followed for one name.
  constexpr int kMostLinks = 40;
  for (int links = 0; links < kMostLinks; ++links) {
    std::error_code failure;
    const fs::file_status status = fs::symlink_status(path, failure);
    if (!fs::is_symlink(status)) {
      target = path.string();
      return true;
    }
    const fs::path next = fs::read_symlink(path, failure);
    if (failure) {
      error = failure.value();
      return false;
    }
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  error = ELOOP;
  return false;
}

}  // namespace

OutputFile::~OutputFile() {
  discard();
}

void OutputFile::discard() {
  Interruption::clearRemoval(_removalSlot);
  _removalSlot = -1;
  if (_descriptor >= 0) close(_descriptor);
  _descriptor = -1;
  if (!_temporaryName.empty()) std::remove(_temporaryName.c_str());
  _temporaryName.clear();
}

bool OutputFile::open(const std::string& fileName, std::string& error) {
  _fileName = fileName;
  int failure = 0;
  if (!resolveLinks(fileName, _target, failure)) {
    error = getErrorText(fileName, failure);
    return false;
  }
  struct stat status {};
  if (stat(_target.c_str(), &status) != 0) {
    if (errno != ENOENT) {
      error = getErrorText(fileName, errno);
      return false;
    }
    return openTemporary(error);
  }
  if (S_ISDIR(status.st_mode)) {
    error = getErrorText(fileName, EISDIR);
    return false;
  }
  if (access(_target.c_str(), W_OK) != 0) {
    error = getErrorText(fileName, errno);
    return false;
  }
  if (S_ISREG(status.st_mode)) {
    if (!openTemporary(error)) return false;
    // The replacement keeps the permissions and, where allowed, the owner.
    fchmod(_descriptor, status.st_mode & 07777);
    [[maybe_unused]] const int owned = fchown(_descriptor, status.st_uid, status.st_gid);
    return true;
  }
  if (S_ISSOCK(status.st_mode)) {
    error = fileName + ": is a socket, not a file to write";
    return false;
  }
  _inPlace = true;
  return true;
}

bool OutputFile::openTemporary(std::string& error) {
  const fs::path path(_target);
  const fs::path directory = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::error_code failure;
  if (!fs::is_directory(directory, failure)) {
    error = _fileName + ": no directory " + directory.string();
    return false;
  }
  const std::string pattern = (directory / ("." + path.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  _descriptor = mkstemp(name.data());
  if (_descriptor < 0) {
    error = getErrorText(_fileName, errno);
    return false;
  }
  _temporaryName = name.data();
  _removalSlot = Interruption::setRemoval(_temporaryName.c_str());
  if (_removalSlot < 0) {
    error = getErrorText(_fileName, ENAMETOOLONG);
    discard();
    return false;
  }
  // mkstemp makes the file private; a new file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(_descriptor, 0666 & ~mask);
  return true;
}

bool OutputFile::writeAll(int descriptor, std::string& error) const {
  const std::string text = _text.str();
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t result = write(descriptor, text.data() + written, text.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      error = getErrorText(_fileName, result < 0 ? errno : EIO);
      return false;
    }
    written += static_cast<std::size_t>(result);
  }
  return true;
}

bool OutputFile::commit(std::string& error) {
  if (_inPlace) {
    const int descriptor = ::open(_target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
      error = getErrorText(_fileName, errno);
      return false;
    }
    const bool written = writeAll(descriptor, error);
    if (close(descriptor) != 0 && written) {
      error = getErrorText(_fileName, errno);
      return false;
    }
    return written;
  }
  if (_descriptor < 0) {
    error = _fileName + ": not open";
    return false;
  }
  if (!writeAll(_descriptor, error)) {
    discard();
    return false;
  }
  const int closed = close(_descriptor);
  _descriptor = -1;
  if (closed != 0 || std::rename(_temporaryName.c_str(), _target.c_str()) != 0) {
    error = getErrorText(_fileName, errno);
    discard();
    return false;
  }
  // An interruption after the rename finds no temporary file to remove.
  Interruption::clearRemoval(_removalSlot);
  _removalSlot = -1;
  _temporaryName.clear();
  return true;
}

}  // namespace MorvaTool
