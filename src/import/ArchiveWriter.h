#pragma once

#include <ostream>

namespace MorvaImport {

// Writes the analyzer's poles, edges, clocks, clock groups, input and
// output delays and path exceptions as an archive that the
// archive loader builds back into the same graph: poles and edges in
// creation order, so that the analysis walks them in the same order.
// Raises Orvek::InvalidRequest for a name the archive format cannot hold.
void writeArchive(std::ostream& output);

}  // namespace MorvaImport
