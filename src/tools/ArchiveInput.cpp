#include "ArchiveInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <vector>

namespace MorvaTool {

namespace {

// The bytes looked at for binary data, after decompression.
constexpr std::size_t kSampleSize = 1U << 16;

bool isControl(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || c == 0x7F;
}

// Why the sample is no text, or nothing: any NUL byte, or more than one
// byte in twenty a control character, or more than half of the bytes
// outside ASCII.
std::string getBinaryReason(const std::vector<unsigned char>& sample) {
  std::size_t controls = 0;
  std::size_t high = 0;
  for (const unsigned char c : sample) {
    if (c == 0) return "binary data (NUL bytes), not a timing archive";
    if (isControl(c)) ++controls;
    if (c >= 0x80) ++high;
  }
  if (controls * 20 > sample.size() || high * 2 > sample.size())
    return "binary data (mostly non-text bytes), not a timing archive";
  return "";
}

std::string getErrorText(int error) {
  return std::strerror(error);
}

}  // namespace

ArchiveInput::ArchiveInput(const std::string& name)
    : _name(name == "-" ? "standard input" : name), _loadName(name) {}

ArchiveInput::~ArchiveInput() {
  if (_spool >= 0) close(_spool);
}

bool ArchiveInput::prepare(std::string& error) {
  if (_loadName == "-" ? !spoolStandardInput(error) : !checkPlace(error)) return false;
  return checkContent(error);
}

bool ArchiveInput::spoolStandardInput(std::string& error) {
  std::error_code failure;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(failure);
  std::string pattern =
      ((failure ? std::filesystem::path("/tmp") : folder) / "morva-input.XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  _spool = mkstemp(name.data());
  if (_spool < 0) {
    error = "cannot make a temporary copy: " + getErrorText(errno);
    return false;
  }
  // Unnamed at once: nothing is left behind, whatever ends the run.
  unlink(name.data());
  std::vector<char> buffer(kSampleSize);
  for (;;) {
    const ssize_t count = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      error = "cannot read: " + getErrorText(errno);
      return false;
    }
    if (count == 0) break;
    for (ssize_t done = 0; done < count;) {
      const ssize_t written =
          write(_spool, buffer.data() + done, static_cast<std::size_t>(count - done));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        error = "cannot make a temporary copy: " + getErrorText(written < 0 ? errno : EIO);
        return false;
      }
      done += written;
    }
  }
  // The copy becomes standard input, which the loader then reads by the
  // name it shows: /dev/stdin.
  if (lseek(_spool, 0, SEEK_SET) != 0 || dup2(_spool, STDIN_FILENO) < 0) {
    error = "cannot read the temporary copy: " + getErrorText(errno);
    return false;
  }
  _loadName = "/dev/stdin";
  return true;
}

bool ArchiveInput::checkPlace(std::string& error) const {
  struct stat status {};
  if (stat(_loadName.c_str(), &status) != 0) {
    error = errno == ENOENT ? "no such file" : getErrorText(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = "is a directory, not an archive";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    const char* what = S_ISFIFO(status.st_mode)   ? "a FIFO"
                       : S_ISCHR(status.st_mode)  ? "a character device"
                       : S_ISBLK(status.st_mode)  ? "a block device"
                       : S_ISSOCK(status.st_mode) ? "a socket"
                                                  : "of an unknown kind";
    error = std::string("not a regular file (") + what + ")";
    return false;
  }
  if (access(_loadName.c_str(), R_OK) != 0) {
    error = errno == EACCES ? "permission denied" : getErrorText(errno);
    return false;
  }
  return true;
}

bool ArchiveInput::checkContent(std::string& error) const {
  const int descriptor = open(_loadName.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error = errno == EACCES ? "permission denied" : getErrorText(errno);
    return false;
  }
  unsigned char magic[2] = {0, 0};
  const bool compressed =
      pread(descriptor, magic, 2, 0) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
  gzFile file = gzdopen(descriptor, "r");
  if (!file) {
    close(descriptor);
    error = "cannot open";
    return false;
  }
  std::vector<unsigned char> sample(kSampleSize);
  const int count = gzread(file, sample.data(), static_cast<unsigned>(sample.size()));
  int status = Z_OK;
  // A stream cut short or corrupt within the sample is known now, before
  // anything is loaded.
  std::string reason = gzerror(file, &status);
  // zlib names the stream by its descriptor ("<fd:3>: "): the archive's
  // name is in the message already.
  if (reason.starts_with("<fd:") && reason.find(": ") != std::string::npos)
    reason.erase(0, reason.find(": ") + 2);
  gzclose(file);
  if (count < 0 || (status != Z_OK && status != Z_STREAM_END)) {
    error = (compressed ? "unreadable gzip stream: " : "cannot read: ") + reason;
    return false;
  }
  sample.resize(static_cast<std::size_t>(count));
  error = getBinaryReason(sample);
  return error.empty();
}

}  // namespace MorvaTool
