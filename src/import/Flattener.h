#pragma once

#include "Netlist.h"
#include "PinOrder.h"

#include <string>

namespace MorvaImport {

// Flattens the hierarchy under the top module into cell instances and
// nets, joining the names of nested instances with `divider`. The top is
// the module named `top`, or, when `top` is empty, the one module that no
// other instantiates. Positional connections to cells follow `pins`.
FlatNetlist flatten(const Netlist& netlist, const std::string& top, char divider,
                    const PinOrder& pins = {});

}  // namespace MorvaImport
