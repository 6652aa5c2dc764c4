#pragma once

#include "GraphPlan.h"
#include "Netlist.h"
#include "SdfData.h"

namespace MorvaImport {

// Turns a flattened netlist and its SDF entries into poles and edges:
// ports are Primary poles, pins are poles named instance/pin, IOPATH
// entries are IOPath edges, nets and INTERCONNECT entries Interconnect
// edges, and timing checks SetupHold or RecoveryRemoval edges into the dual
// pole of the clock pin, which takes the Mode of the check's clock edge.
GraphPlan buildDesign(const FlatNetlist& netlist, const SdfData& sdf);

}  // namespace MorvaImport
