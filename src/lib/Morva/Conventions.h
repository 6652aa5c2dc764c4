#pragma once

#include <Morva/Export.h>

#include <optional>
#include <string>

namespace Morva {

// The rules an analysis follows. Literal: the library's own rules, the
// default. Sdc: the readings timing engineers expect from SDC constraints:
// relationships from the closest edges of two clocks over their common
// period, input and output delays inside path slacks, multicycle paths
// that move the capture edge by whole latch periods, false paths that cut
// only the paths they name, and no slack for paths that no clock edge
// constrains.
enum class Conventions { Literal, Sdc };

// "literal" or "sdc".
MORVA_API std::string getName(Conventions conventions);
// The rule set named so, if any.
MORVA_API std::optional<Conventions> findConventions(const std::string& name);

}  // namespace Morva
