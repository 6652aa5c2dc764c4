#include "ArchiveWriter.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>

#include <algorithm>
#include <vector>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/ArchiveWriter";

// Archive records are blank-separated words and "#" starts a comment.
const std::string& checked(const std::string& name) {
  if (name.empty() || name.find_first_of(" \t\r\n#") != std::string::npos)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "writeArchive",
                                        "Name not writable in an archive: \"" + name + "\"");
  return name;
}

void writeGroups(std::ostream& output, const Morva::PoleSetMap& table, const char* kind) {
  for (const auto& [root, others] : table) {
    output << "CREATE_CLOCK_GROUPS " << kind << " -group "
           << Morva::analyzer->getWave(root).getName() << " -group";
    for (Morva::Pole* other : others) output << ' ' << Morva::analyzer->getWave(other).getName();
    output << '\n';
  }
}

void writeDelays(std::ostream& output, const Morva::IOConstraintMap& delays, const char* keyword) {
  for (const auto& [port, delay] : delays)
    output << keyword << " -clock " << delay.getClockRoot()->getName()
           << (delay.getMode().getCode() == Morva::Mode::Falling ? " -fall" : " -rise") << " -min "
           << delay.getMinimum().getValue() << " -max " << delay.getMaximum().getValue()
           << " -port " << port->getName() << '\n';
}

void writePoles(std::ostream& output, const char* option, const Morva::Poles& poles) {
  if (poles.isEmpty()) return;
  output << ' ' << option;
  for (Morva::Pole* pole : poles) output << ' ' << pole->getName();
}

// A path's keyword and value are written by the caller; targets that are
// capture points (dual poles) are written by their clock pin's name, which
// the loader turns back into the capture point.
void writePath(std::ostream& output, const Morva::CPath* path) {
  writePoles(output, "-from", path->getSources());
  writePoles(output, "-through", path->getBridges());
  writePoles(output, "-to", path->getTargets());
  output << '\n';
}

template <class T>
void sortByStamp(std::vector<T*>& objects) {
  std::sort(objects.begin(), objects.end(),
            [](const T* a, const T* b) { return a->getStamp() < b->getStamp(); });
}

}  // namespace

void writeArchive(std::ostream& output) {
  if (!Morva::analyzer)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "writeArchive", "Null analyzer");
  std::vector<Morva::Pole*> poles;
  for (Morva::Pole* pole : Morva::analyzer->getMainPoles()) poles.push_back(pole);
  sortByStamp(poles);
  std::vector<Morva::Edge*> edges;
  for (Morva::Pole* pole : poles)
    for (Morva::Edge* edge : pole->getOutgoingEdgeSet()) edges.push_back(edge);
  sortByStamp(edges);
  output << "# Poles\n";
  for (const Morva::Pole* pole : poles)
    output << "POLE " << checked(pole->getName()) << ' ' << pole->getMode().getName() << ' '
           << pole->getType().getName() << '\n';
  output << "# Edges\n";
  for (const Morva::Edge* edge : edges)
    output << "EDGE " << edge->getSource()->getName() << ' ' << edge->getTarget()->getName() << ' '
           << edge->getPurpose().getName() << ' ' << edge->getMinimumDelay().getValue() << ' '
           << edge->getMaximumDelay().getValue() << '\n';
  output << "# Clocks\n";
  for (const auto& [root, wave] : Morva::analyzer->getWaveMap())
    output << "CREATE_CLOCK " << root->getName() << " -name " << checked(wave.getName())
           << " -period " << wave.getPeriod().getValue() << " -rising "
           << wave.getRising().getValue() << " -falling " << wave.getFalling().getValue() << '\n';
  output << "# Clock groups\n";
  writeGroups(output, Morva::analyzer->getExclusivePoleSetMap(), "-exclusive");
  writeGroups(output, Morva::analyzer->getAsynchronousPoleSetMap(), "-asynchronous");
  output << "# Input and output delays\n";
  writeDelays(output, Morva::analyzer->getInputDelays(), "SET_INPUT_DELAY");
  writeDelays(output, Morva::analyzer->getOutputDelays(), "SET_OUTPUT_DELAY");
  output << "# Path exceptions\n";
  for (const Morva::FPath* path : Morva::analyzer->getFalsePaths()) {
    output << "FALSE_PATH";
    writePath(output, path);
  }
  for (const Morva::DPath* path : Morva::analyzer->getMaxdelayPaths()) {
    output << "MAXIMUM_DELAY_PATH " << path->getDelay().getValue();
    writePath(output, path);
  }
  for (const Morva::DPath* path : Morva::analyzer->getMindelayPaths()) {
    output << "MINIMUM_DELAY_PATH " << path->getDelay().getValue();
    writePath(output, path);
  }
  for (const Morva::MPath* path : Morva::analyzer->getMulticyclePaths()) {
    output << "MULTICYCLE_PATH " << path->getCycleCount();
    writePath(output, path);
  }
}

}  // namespace MorvaImport
