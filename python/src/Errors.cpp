#include "Errors.h"

#include <Orvek/Exception.h>

namespace MorvaPython {

namespace py = pybind11;

namespace {

// The most derived Python class of a host exception.
const char* getClassName(const Orvek::Exception& error) {
  if (dynamic_cast<const Orvek::InvalidRequest*>(&error)) return "InvalidRequest";
  if (dynamic_cast<const Orvek::FactoryFailed*>(&error)) return "FactoryFailed";
  if (dynamic_cast<const Orvek::Fatal*>(&error)) return "Fatal";
  if (dynamic_cast<const Orvek::InternalError*>(&error)) return "InternalError";
  if (dynamic_cast<const Orvek::LoadFailed*>(&error)) return "LoadFailed";
  return "Error";
}

void translate(std::exception_ptr pending) {
  try {
    if (pending) std::rethrow_exception(pending);
  } catch (const Orvek::Exception& error) {
    const py::object errors = py::module_::import("morva._errors");
    const py::object type = errors.attr(getClassName(error));
    const py::object instance =
        type(error.getMessage(), error.getFile(), error.getOperation(), error.getLine());
    PyErr_SetObject(type.ptr(), instance.ptr());
  }
}

}  // namespace

void registerErrors(py::module_&) {
  py::register_exception_translator(&translate);
}

}  // namespace MorvaPython
