#pragma once

#include <string>

namespace MorvaTool {

// An archive named on the command line, made ready for the loader before
// anything is loaded: its place is checked (a missing file, a directory, a
// file that cannot be opened, one that is not a regular file, a gzip stream
// that cannot be read are told apart), its first bytes are checked for
// binary data, and "-" (standard input) is first copied into an unnamed
// temporary file that then replaces standard input, so that the loader reads
// it as /dev/stdin, plain or gzip-compressed alike.
class ArchiveInput {
 public:
  explicit ArchiveInput(const std::string& name);
  ArchiveInput(const ArchiveInput&) = delete;
  ArchiveInput& operator=(const ArchiveInput&) = delete;
  ~ArchiveInput();

  // On failure, false with the reason in `error`.
  bool prepare(std::string& error);
  // The name shown in messages: the file name, or "standard input".
  const std::string& getName() const { return _name; }
  // The file the loader reads.
  const std::string& getLoadName() const { return _loadName; }

 private:
  bool spoolStandardInput(std::string& error);
  bool checkPlace(std::string& error) const;
  bool checkContent(std::string& error) const;

  std::string _name;
  std::string _loadName;
  int _spool = -1;
};

}  // namespace MorvaTool
