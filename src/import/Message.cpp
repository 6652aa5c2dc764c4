#include "Message.h"

#include <Orvek/Console.h>

namespace MorvaImport {

std::string Message::str() const {
  if (line == 0) return (file.empty() ? "" : file + ": ") + text;
  return file + ":" + std::to_string(line) + ": " + text;
}

void fail(const char* source, const char* operation, const std::string& file, std::size_t line,
          const std::string& text) {
  ReadError error(Message{file, line, text});
  error.locate(source, operation, line);
  throw error;
}

void warn(const Message& message) {
  Orvek::console.warning(message.str());
}

}  // namespace MorvaImport
