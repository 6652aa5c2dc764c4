#include "ConsoleBridge.h"

#include <Orvek/Console.h>

#include <cstring>
#include <iostream>
#include <utility>

namespace MorvaPython {

namespace py = pybind11;

PythonTextBuffer::PythonTextBuffer(py::object target) : _target(std::move(target)) {}

PythonTextBuffer::~PythonTextBuffer() {
  // The owner holds the GIL when it goes: the target is released here.
  deliver();
}

PythonTextBuffer::int_type PythonTextBuffer::overflow(int_type character) {
  if (traits_type::eq_int_type(character, traits_type::eof()))
    return traits_type::not_eof(character);
  _text.push_back(traits_type::to_char_type(character));
  if (character == '\n') deliver();
  return character;
}

std::streamsize PythonTextBuffer::xsputn(const char* text, std::streamsize count) {
  _text.append(text, static_cast<std::size_t>(count));
  if (std::memchr(text, '\n', static_cast<std::size_t>(count))) deliver();
  return count;
}

int PythonTextBuffer::sync() {
  deliver();
  return 0;
}

void PythonTextBuffer::deliver() {
  if (_text.empty()) return;
  py::gil_scoped_acquire gil;
  std::string text;
  text.swap(_text);
  if (_error) return;
  try {
    // Names come from archives and need not be UTF-8.
    const py::str line = py::reinterpret_steal<py::str>(
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (_target.is_none())
      py::module_::import("sys").attr("stdout").attr("write")(line);
    else
      _target(line);
  } catch (py::error_already_set& error) {
    _error.emplace(std::move(error));
  }
}

void PythonTextBuffer::raisePending() {
  if (!_error) return;
  py::error_already_set error = std::move(*_error);
  _error.reset();
  throw error;
}

ConsoleBridge::ConsoleBridge(py::object target, bool progress)
    : _buffer(std::move(target)), _recorder(&_buffer), _stream(&_recorder) {
  Orvek::console.setOutput(_stream);
  Orvek::console.setProgress(progress);
}

ConsoleBridge::~ConsoleBridge() {
  _stream.flush();
  Orvek::console.setOutput(std::cout);
  Orvek::console.setProgress(true);
}

void ConsoleBridge::complete() {
  _stream.flush();
  _buffer.raisePending();
}

void ConsoleBridge::discard() {
  _stream.flush();
  _buffer.forgetPending();
}

}  // namespace MorvaPython
