#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace MorvaImport {

enum class Direction { None, Input, Output, Inout };

// One bit named in an expression: a net bit (`name`, with `index` when a
// bus bit is meant) or a constant ('0', '1', 'x' or 'z' in `constant`).
struct BitRef {
  std::string name;
  bool indexed = false;
  int index = 0;
  char constant = 0;
};

// A name with an optional part select, or a constant: what one expression
// part names before the declarations are known.
struct Part {
  std::string name;
  int select = 0;  // 0: whole name, 1: one bit, 2: a range
  int msb = 0;
  int lsb = 0;
  std::vector<char> constant;  // constant bits, most significant first
};

using Expression = std::vector<Part>;  // concatenation, most significant first

struct NetDecl {
  std::string name;
  Direction direction = Direction::None;
  bool bus = false;
  int msb = 0;
  int lsb = 0;
  std::size_t line = 0;
};

struct Connection {
  std::string pin;  // empty for a positional connection
  Expression expression;
};

struct Instance {
  std::string cellType;
  std::string name;
  std::vector<Connection> connections;
  std::size_t line = 0;
};

struct Assign {
  Expression left;
  Expression right;
  std::size_t line = 0;
};

struct Module {
  std::string name;
  std::string file;
  std::size_t line = 0;
  std::vector<std::string> ports;  // in the header's order
  std::unordered_map<std::string, NetDecl> nets;
  std::vector<Instance> instances;
  std::vector<Assign> assigns;
};

// The modules read from the Verilog files, by name.
struct Netlist {
  std::map<std::string, Module> modules;
};

// The design with its hierarchy flattened: nets are numbers, constant nets
// carry no timing.
struct FlatPin {
  std::string pin;
  int net = 0;
};

struct FlatInstance {
  std::string name;
  std::string cellType;
  std::vector<FlatPin> pins;
  std::string file;
  std::size_t line = 0;
};

struct FlatPort {
  std::string name;
  Direction direction = Direction::None;
  int net = 0;
};

struct FlatNetlist {
  std::vector<FlatPort> ports;
  std::vector<FlatInstance> instances;
  std::vector<std::string> netNames;               // by net number
  std::vector<bool> constant;                      // by net number
  std::unordered_map<std::string, int> netByName;  // every hierarchical net bit name
};

}  // namespace MorvaImport
