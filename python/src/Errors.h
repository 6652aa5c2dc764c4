#pragma once

#include <pybind11/pybind11.h>

namespace MorvaPython {

// The place named in the failures the binding raises itself.
inline constexpr const char* kSource = "python/morva";

// Maps the host layer's exceptions to the classes of morva._errors (Error,
// InternalError, InvalidRequest, FactoryFailed, Fatal, LoadFailed), each
// carrying the message, source, operation and line.
void registerErrors(pybind11::module_& module);

}  // namespace MorvaPython
