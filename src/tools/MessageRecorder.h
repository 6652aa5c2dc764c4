#pragma once

#include <streambuf>
#include <string>
#include <vector>

namespace MorvaTool {

// Passes everything written to it on to another stream buffer, unbuffered,
// and keeps the warning and error lines among it ("Warning: ...",
// "Error: ..." after the console's indentation), so that the written
// results can list them. Keeps the first kLimit of them and counts the rest.
class MessageRecorder : public std::streambuf {
 public:
  static constexpr std::size_t kLimit = 200;

  explicit MessageRecorder(std::streambuf* target) : _target(target) {}

  // The kept lines without their indentation, then, when some were left
  // out, a line saying how many.
  std::vector<std::string> getMessages() const;

 protected:
  int_type overflow(int_type character) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void take(const char* text, std::size_t count);

  std::streambuf* _target;
  std::string _line;
  std::vector<std::string> _messages;
  std::size_t _omitted = 0;
};

}  // namespace MorvaTool
