#pragma once

#include <Morva/Analyzer.h>

namespace Morva {

// The clock scan of domain creation: from every clock pole back through the
// clock network to the clock roots (input ports and clock sources) that drive
// it. A clock network that passes through a register is remarked as a
// generated clock; loop-closing edges are counted and reported, never
// followed. Marks stay set for the whole scan, so a pole shared by several
// clock networks is walked once and its roots are reused.
class ClockScan {
 public:
  explicit ClockScan(Analyzer& analyzer) : _analyzer(analyzer) {}

  // Fills `clockMap` with the roots of every clock pole it does not hold
  // yet, then with the clock roots of the constrained input and output ports.
  void run(ClockMap& clockMap);

  class RootSets;

 private:
  // The walk from one clock pole, depth first over an explicit stack; every
  // pole met gets its roots in `roots`.
  void walk(Pole* origin, RootSets& roots);

  Analyzer& _analyzer;
  unsigned long _loopCount = 0;
};

}  // namespace Morva
