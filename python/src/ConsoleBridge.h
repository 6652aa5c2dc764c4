#pragma once

#include <MessageRecorder.h>

#include <pybind11/pybind11.h>

#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace MorvaPython {

// A stream buffer that hands complete lines (and whatever is left at each
// flush) to a Python callable, or to sys.stdout.write when the target is
// None. It takes the GIL for each call, so that the library may write while
// the analysis runs without it. A failing callable does not stop the
// library: its first error is kept for `raisePending`.
class PythonTextBuffer : public std::streambuf {
 public:
  explicit PythonTextBuffer(pybind11::object target);
  PythonTextBuffer(const PythonTextBuffer&) = delete;
  PythonTextBuffer& operator=(const PythonTextBuffer&) = delete;
  ~PythonTextBuffer() override;

  // Raises the error the target raised, if any, and forgets it. Needs the
  // GIL.
  void raisePending();
  // Forgets the target's error, if any.
  void forgetPending() { _error.reset(); }

 protected:
  int_type overflow(int_type character) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void deliver();

  pybind11::object _target;
  std::string _text;
  std::optional<pybind11::error_already_set> _error;
};

// Points the library's console at a Python target for as long as it lives;
// standard output has it back afterwards.
class ConsoleBridge {
 public:
  ConsoleBridge(pybind11::object target, bool progress);
  ConsoleBridge(const ConsoleBridge&) = delete;
  ConsoleBridge& operator=(const ConsoleBridge&) = delete;
  ~ConsoleBridge();

  // Flushes what the console holds, then raises the target's error if it
  // failed. Needs the GIL.
  void complete();
  // Flushes what the console holds and forgets the target's error: another
  // failure is on its way. Needs the GIL.
  void discard();
  // The console's warning and error lines so far, as the command line's
  // documents list them.
  std::vector<std::string> getMessages() const { return _recorder.getMessages(); }

 private:
  PythonTextBuffer _buffer;
  MorvaTool::MessageRecorder _recorder;
  std::ostream _stream;
};

}  // namespace MorvaPython
