#pragma once

#include "Options.h"

#include <string>
#include <vector>

namespace MorvaTool {

// Under the literal rules, one line per kind of result that SDC
// conventions would give otherwise for the design at hand, naming how many
// and the worst case, for example "3 subdomains between clocks use a setup
// relationship other than their closest edges (worst: ...); --conventions
// sdc times them against the closest edges". Computed from the results of
// the one analysis, without a second one. Empty under SDC conventions.
std::vector<std::string> getNotes(const Options& options);

}  // namespace MorvaTool
