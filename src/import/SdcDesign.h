#pragma once

#include "Netlist.h"

#include <Morva/Pole.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace MorvaImport {

// The kinds of design objects that SDC commands name.
enum class ObjectKind { Port, Pin, Cell, Net, Clock };

const char* getKindName(ObjectKind kind);

struct SdcObject {
  ObjectKind kind = ObjectKind::Port;
  std::string name;

  bool operator==(const SdcObject&) const = default;
};

// The design built in the analyzer seen as SDC sees it: ports (Primary
// poles), pins (the other main poles), cells (the pins' names up to the
// last divider), nets (from the flattened netlist, when there is one) and
// the clocks that SDC creates. Answers the queries and turns objects into
// the poles that path exceptions start, pass and end at.
class SdcDesign {
 public:
  SdcDesign(char divider, const FlatNetlist* netlist);

  // The objects of that kind whose names match the glob pattern, in
  // creation order.
  std::vector<SdcObject> find(ObjectKind kind, const std::string& pattern) const;
  std::vector<SdcObject> getInputs() const;
  std::vector<SdcObject> getOutputs() const;
  std::vector<SdcObject> getRegisters() const;
  bool has(ObjectKind kind, const std::string& name) const;

  void addClock(const std::string& name, const std::vector<Morva::Pole*>& roots);
  // The root poles of a clock; empty for an unknown name.
  std::vector<Morva::Pole*> getClockRoots(const std::string& name) const;
  // The clock pins of registers that the clock tree from `root` reaches.
  std::vector<Morva::Pole*> getClockPins(Morva::Pole* root) const;
  // The data pins checked at the register of a clock pin.
  static std::vector<Morva::Pole*> getDataPins(Morva::Pole* clockPin);
  // The clock pin of the register that checks a data pin, or null.
  static Morva::Pole* getCheckingClock(Morva::Pole* dataPin);

  Morva::Pole* getPole(const std::string& name) const;
  const std::vector<Morva::Pole*>& getCellPins(const std::string& cell) const;
  // Pins of a cell that a cell arc ends at.
  std::vector<Morva::Pole*> getCellOutputs(const std::string& cell) const;
  std::vector<Morva::Pole*> getNetPoles(const std::string& net) const;

 private:
  std::vector<Morva::Pole*> _ports;
  std::vector<Morva::Pole*> _pins;
  std::vector<std::string> _cellNames;
  std::unordered_map<std::string, std::vector<Morva::Pole*>> _cells;
  std::vector<std::string> _netNames;
  std::unordered_map<std::string, std::vector<std::string>> _nets;
  std::vector<std::string> _clockNames;
  std::map<std::string, std::vector<Morva::Pole*>> _clocks;
};

}  // namespace MorvaImport
