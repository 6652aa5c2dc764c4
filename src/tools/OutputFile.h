#pragma once

#include <sstream>
#include <string>

namespace MorvaTool {

// One output document written safely. `open` checks the place before any
// work is done and prepares it:
// - a regular file, or no file yet: the document goes to a temporary file
//   in the same directory, renamed over the name once complete, with the
//   permissions of the file it replaces (a new file gets the usual ones);
//   the interruption handler removes the temporary file;
// - a symbolic link: followed to its final target, which is then written
//   as above, so the link stays a link;
// - a device, a FIFO or any other file that is not regular: written in
//   place at `commit`, never replaced;
// - a directory, a missing directory or a target that cannot be written:
//   an error from `open`.
// The document is written to `getStream` and completed by `commit`; it is
// discarded unless committed.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // On failure, false with the reason in `error`.
  bool open(const std::string& fileName, std::string& error);
  std::ostream& getStream() { return _text; }
  bool commit(std::string& error);

 private:
  bool openTemporary(std::string& error);
  bool writeAll(int descriptor, std::string& error) const;
  void discard();

  std::string _fileName;
  // Where the document goes: the final target of a link, or the name.
  std::string _target;
  std::string _temporaryName;
  int _descriptor = -1;
  // The interruption handler's slot of the temporary file, or -1.
  int _removalSlot = -1;
  bool _inPlace = false;
  std::ostringstream _text;
};

}  // namespace MorvaTool
