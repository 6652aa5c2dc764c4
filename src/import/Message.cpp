#include "Message.h"

#include <Orvek/Console.h>

namespace MorvaImport {

std::string Message::getPlace() const {
  return line == 0 ? file : file + ":" + std::to_string(line);
}

std::string Message::str() const {
  const std::string place = getPlace();
  return place.empty() ? text : place + ": " + text;
}

void fail(const char* source, const char* operation, const std::string& file, std::size_t line,
          const std::string& text) {
  ReadError error(Message{file, line, text});
  error.locate(source, operation, line);
  throw error;
}

namespace {
WarningListener* listener = nullptr;
}

WarningListener* setWarningListener(WarningListener* next) {
  WarningListener* previous = listener;
  listener = next;
  return previous;
}

void warn(const Message& message) {
  if (listener)
    listener->warned(message);
  else
    Orvek::console.warning(message.str());
}

void noteIgnored(const Message& message) {
  Orvek::console.warning(message.str());
}

}  // namespace MorvaImport
