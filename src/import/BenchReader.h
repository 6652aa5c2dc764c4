#pragma once

#include "GraphPlan.h"

#include <string>

namespace MorvaImport {

// How a `.bench` netlist gets its timing: every gate arc has the unit delay
// (`Unit`), or the unit plus a quarter of it per load beyond the first
// (`Fanout`); flip-flops have the unit as clock-to-output delay and checks
// of 0, and all share one clock of `period` on a Primary pole of its own.
struct BenchOptions {
  enum class Model { Unit, Fanout };
  Model model = Model::Unit;
  long long unit = 100;
  long long period = 10000;
  std::string clock = "clock";
};

// Reads an ISCAS `.bench` netlist (INPUT, OUTPUT, DFF and the gates AND,
// NAND, OR, NOR, XOR, XNOR, NOT, BUF) into poles and edges: a gate driving
// signal S is the instance S with input pins A0, A1, ... and output pin Y;
// a flip-flop has the pins D, CK and Q.
GraphPlan readBench(const std::string& fileName, const std::string& text,
                    const BenchOptions& options);

}  // namespace MorvaImport
