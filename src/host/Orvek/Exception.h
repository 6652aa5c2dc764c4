#pragma once

#include <Orvek/Export.h>

#include <exception>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace Orvek {

// Base of every failure raised by the host layer and the library. `what()`
// is exactly the message; the location names the source, operation and line.
class ORVEK_API Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  const char* what() const noexcept override;

  const std::string& getMessage() const { return _message; }
  const std::string& getFile() const { return _file; }
  const std::string& getOperation() const { return _operation; }
  unsigned long getLine() const { return _line; }
  // "file:operation:line", for messages on standard error.
  std::string getLocation() const;

  void locate(std::string_view file, std::string_view operation, unsigned long line);

 private:
  std::string _message;
  std::string _file;
  std::string _operation;
  unsigned long _line = 0;
};

class ORVEK_API Error : public Exception {
 public:
  using Exception::Exception;
};

class ORVEK_API InternalError : public Error {
 public:
  using Error::Error;
};

class ORVEK_API InvalidRequest : public InternalError {
 public:
  using InternalError::InternalError;
};

class ORVEK_API FactoryFailed : public InternalError {
 public:
  using InternalError::InternalError;
};

class ORVEK_API Fatal : public InternalError {
 public:
  using InternalError::InternalError;
};

class ORVEK_API LoadFailed : public Error {
 public:
  using Error::Error;
};

// Prints the one-line trace of a fatal condition on standard output.
ORVEK_API void traceFatal(const Exception& exception);

// Raises an exception of class E with `message`, located at `file` (for
// example "lib/Morva/Delay"), `operation` and the caller's line. Fatal
// conditions are traced on standard output first while debugging.
template <class E>
[[noreturn]] void raise(std::string_view file, std::string_view operation, std::string message,
                        std::source_location where = std::source_location::current()) {
  E exception(std::move(message));
  exception.locate(file, operation, where.line());
  if constexpr (std::is_base_of_v<Fatal, E>) traceFatal(exception);
  throw exception;
}

}  // namespace Orvek
