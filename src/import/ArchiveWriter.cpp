#include "ArchiveWriter.h"

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
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
}

}  // namespace MorvaImport
