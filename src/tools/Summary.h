#pragma once

namespace MorvaTool {

// Prints what the loaded archives declare (poles and edges, clocks, clock
// groups, input and output delays, every path exception) and statistics of
// the shape of the timing graph.
void printSummary();

}  // namespace MorvaTool
