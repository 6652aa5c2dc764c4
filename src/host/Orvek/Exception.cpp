#include <Orvek/Debug.h>
#include <Orvek/Exception.h>

#include <iostream>

namespace Orvek {

Exception::Exception(std::string message) : _message(std::move(message)) {}

const char* Exception::what() const noexcept {
  return _message.c_str();
}

std::string Exception::getLocation() const {
  return _file + ":" + _operation + ":" + std::to_string(_line);
}

void Exception::locate(std::string_view file, std::string_view operation, unsigned long line) {
  _file = file;
  _operation = operation;
  _line = line;
}

void traceFatal(const Exception& exception) {
  if (isDebug())
    std::cout << "Fatal: " << exception.getMessage() << " at " << exception.getLocation()
              << std::endl;
}

}  // namespace Orvek
