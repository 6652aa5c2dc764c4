#include "Summary.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Orvek/Console.h>
#include <Orvek/Label.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace MorvaTool {

namespace {

using Orvek::console;
using Orvek::getLabel;

// A section of the summary: its title, then its content indented.
template <class Print>
void printSection(const std::string& title, Print print) {
  console.print(title, "");
  console.indent();
  print();
  console.unindent();
}

// A two-column table of names and counts.
void printCounts(const std::vector<std::pair<std::string, std::size_t>>& rows) {
  console.openTable(2, rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    console.addCell(0, row, rows[row].first, -1);
    console.addCell(1, row, getLabel(static_cast<unsigned long>(rows[row].second)), 1);
  }
  console.closeTable();
}

// A table with a heading row; `right` says which columns hold numbers,
// aligned on the right ('r') rather than on the left.
void printTable(const std::vector<std::string>& heading, const std::string& right,
                const std::vector<std::vector<std::string>>& rows) {
  console.openTable(heading.size(), rows.size() + 1);
  for (std::size_t column = 0; column < heading.size(); ++column)
    console.addCell(column, 0, heading[column], 0);
  console.addSeparator(0);
  for (std::size_t row = 0; row < rows.size(); ++row)
    for (std::size_t column = 0; column < heading.size(); ++column)
      console.addCell(column, row + 1, rows[row][column], right[column] == 'r' ? 1 : -1);
  console.closeTable();
}

std::string getNames(const Morva::PoleSet& poles) {
  std::string names;
  for (Morva::Pole* pole : poles)
    names += (names.empty() ? "" : " ") + pole->getName() + (pole->isDual() ? " (dual)" : "");
  return names;
}

void printPolesAndEdges() {
  const Morva::Analyzer& design = *Morva::analyzer;
  std::size_t byPurpose[4] = {0, 0, 0, 0};
  for (Morva::Pole* pole : design.getPoles())
    for (Morva::Edge* edge : pole->getOutgoingEdgeSet()) ++byPurpose[edge->getPurpose().getCode()];
  printCounts({{"Main poles", design.getMainPoleRegistry().size()},
               {"Dual poles", design.getDualPoleRegistry().size()},
               {"IOPath edges", byPurpose[Morva::Purpose::IOPath]},
               {"SetupHold edges", byPurpose[Morva::Purpose::SetupHold]},
               {"RecoveryRemoval edges", byPurpose[Morva::Purpose::RecoveryRemoval]},
               {"Interconnect edges", byPurpose[Morva::Purpose::Interconnect]}});
}

void printClocks() {
  const auto& waves = Morva::analyzer->getWaveMap();
  if (waves.empty()) {
    console.print("Clocks: none", "");
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& [root, wave] : waves)
    rows.push_back({wave.getName(), root->getName(), getLabel(wave.getPeriod()),
                    getLabel(wave.getRising()), getLabel(wave.getFalling()),
                    getLabel(wave.getPeriod().getFrequency())});
  printSection("Clocks", [&rows] {
    printTable({"Clock", "Root", "Period", "Rising", "Falling", "Frequency"}, "llrrrr", rows);
  });
}

void printClockGroups() {
  std::vector<std::vector<std::string>> rows;
  const auto add = [&rows](const Morva::PoleSetMap& table, const char* kind) {
    for (const auto& [root, others] : table) {
      std::string names;
      for (Morva::Pole* other : others)
        names += (names.empty() ? "" : " ") + other->getReportName();
      rows.push_back({root->getReportName(), names, kind});
    }
  };
  add(Morva::analyzer->getExclusivePoleSetMap(), "exclusive");
  add(Morva::analyzer->getAsynchronousPoleSetMap(), "asynchronous");
  if (rows.empty()) {
    console.print("Clock groups: none", "");
    return;
  }
  printSection("Clock groups", [&rows] {
    printTable({"Clock", "Related clocks", "Relation"}, "lll", rows);
  });
}

void printIODelays() {
  std::vector<std::vector<std::string>> rows;
  const auto add = [&rows](const Morva::IOConstraintMap& delays, const char* direction) {
    for (const auto& [port, constraint] : delays) {
      Morva::Pole* clock = constraint.getClockRoot();
      rows.push_back({port->getName(), direction, clock ? clock->getReportName() : "-",
                      constraint.getMode().getName(), getLabel(constraint.getMinimum()),
                      getLabel(constraint.getMaximum())});
    }
  };
  add(Morva::analyzer->getInputDelays(), "input");
  add(Morva::analyzer->getOutputDelays(), "output");
  if (rows.empty()) {
    console.print("Input and output delays: none", "");
    return;
  }
  printSection("Input and output delays", [&rows] {
    printTable({"Port", "Delay", "Clock", "Edge", "Minimum", "Maximum"}, "llllrr", rows);
  });
}

void printExceptions() {
  const Morva::Analyzer& design = *Morva::analyzer;
  printCounts({{"False paths", design.getFalsePaths().getCount()},
               {"Multicycle paths", design.getMulticyclePaths().getCount()},
               {"Maximum delay paths", design.getMaxdelayPaths().getCount()},
               {"Minimum delay paths", design.getMindelayPaths().getCount()}});
  if (design.getCPathCount() == 0) return;
  std::vector<std::vector<std::string>> rows;
  for (Morva::CPath* path : design.getCPaths()) {
    std::string kind = "false";
    if (auto* delay = dynamic_cast<Morva::DPath*>(path))
      kind = (delay->isMaximum() ? "maximum " : "minimum ") + getLabel(delay->getDelay());
    else if (auto* multicycle = dynamic_cast<Morva::MPath*>(path))
      kind = "multicycle " + getLabel(multicycle->getCycleCount());
    rows.push_back({kind, getNames(path->getSourceSet()), getNames(path->getBridgeSet()),
                    getNames(path->getTargetSet())});
  }
  printTable({"Exception", "From", "Through", "To"}, "llll", rows);
}

// Figures about the shape of the graph.
void printGraphStatistics() {
  std::size_t inputs = 0, outputs = 0, rising = 0, falling = 0, sources = 0, isolated = 0;
  std::size_t undefined = 0, fanIn = 0, fanOut = 0;
  for (const Morva::Pole* pole : Morva::analyzer->getPoles()) {
    inputs += pole->isInput();
    outputs += pole->isOutput();
    rising += pole->getMode().getCode() == Morva::Mode::Rising;
    falling += pole->getMode().getCode() == Morva::Mode::Falling;
    sources += pole->getType().getCode() == Morva::Type::ClockSource;
    isolated += pole->getIncomingEdgeSet().empty() && pole->getOutgoingEdgeSet().empty();
    fanIn = std::max(fanIn, pole->getIncomingEdgeSet().size());
    fanOut = std::max(fanOut, pole->getOutgoingEdgeSet().size());
    for (Morva::Edge* edge : pole->getOutgoingEdgeSet())
      undefined += edge->getMinimumDelay() == Morva::Delay::getUndefined() ||
                   edge->getMaximumDelay() == Morva::Delay::getUndefined();
  }
  printCounts({{"Input ports", inputs},
               {"Output ports", outputs},
               {"Clock source poles", sources},
               {"Registers on rising edges", rising},
               {"Registers on falling edges", falling},
               {"Poles without edges", isolated},
               {"Edges with an undefined delay", undefined},
               {"Largest fan-in", fanIn},
               {"Largest fan-out", fanOut}});
}

}  // namespace

void printSummary() {
  printSection("Summary", [] {
    printSection("Poles and edges", printPolesAndEdges);
    printClocks();
    printClockGroups();
    printIODelays();
    printSection("Path exceptions", printExceptions);
    printSection("Graph statistics", printGraphStatistics);
  });
}

}  // namespace MorvaTool
