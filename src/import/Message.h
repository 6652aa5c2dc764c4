#pragma once

#include <Orvek/Exception.h>

#include <cstddef>
#include <string>

namespace MorvaImport {

// One problem found in an input file, shown as "FILE:LINE: text".
struct Message {
  std::string file;
  std::size_t line = 0;
  std::string text;

  // "FILE:LINE", "FILE" when the line is not known, or empty.
  std::string getPlace() const;
  std::string str() const;
};

// The error that stops reading a design: it carries the message that says
// where and why.
class ReadError : public Orvek::Error {
 public:
  explicit ReadError(const Message& message) : Orvek::Error(message.str()), _message(message) {}
  const Message& getRecord() const { return _message; }

 private:
  Message _message;
};

// Raises the read error for `text` at `file`:`line`, located at the reader
// `source` and its `operation`.
[[noreturn]] void fail(const char* source, const char* operation, const std::string& file,
                       std::size_t line, const std::string& text);

// Hears the warnings of the readers instead of the console while it is set.
class WarningListener {
 public:
  virtual ~WarningListener() = default;
  // Something read was left out, or built from by a guess.
  virtual void warned(const Message& message) = 0;
};

// Sets the listener (null for the console); answers the previous one.
WarningListener* setWarningListener(WarningListener* listener);

// A warning that does not stop reading: something read was left out or
// guessed at. Goes to the listener, or else to the console.
void warn(const Message& message);

// A note of what the timing model leaves out by design (an SDF check kind,
// an SDC command it has no place for): always on the console, never a
// problem of the input.
void noteIgnored(const Message& message);

}  // namespace MorvaImport
