#include "GraphArrays.h"

#include "Errors.h"

#include <Morva/Analyzer.h>
#include <Orvek/Exception.h>

#include <unordered_map>

namespace MorvaPython {

GraphArrays GraphArrays::read() {
  if (!Morva::analyzer) Orvek::raise<Orvek::InvalidRequest>(kSource, "graph", "Null analyzer");
  GraphArrays graph;
  std::vector<Morva::Pole*> poles;
  std::unordered_map<const Morva::Pole*, std::int64_t> indices;
  for (Morva::Pole* pole : Morva::analyzer->getPoles()) {
    indices.emplace(pole, static_cast<std::int64_t>(poles.size()));
    poles.push_back(pole);
    graph.poleNames.push_back(pole->getName());
    graph.poleTypes.push_back(pole->getType().getName());
    graph.poleModes.push_back(pole->getMode().getName());
  }
  for (const Morva::Pole* pole : poles)
    for (const Morva::Edge* edge : pole->getOutgoingEdgeSet()) {
      graph.sources.push_back(indices.at(edge->getSource()));
      graph.targets.push_back(indices.at(edge->getTarget()));
      graph.minimumDelays.push_back(edge->getMinimumDelay().getValue());
      graph.maximumDelays.push_back(edge->getMaximumDelay().getValue());
      graph.purposes.push_back(static_cast<std::int8_t>(edge->getPurpose().getCode()));
      graph.slacks.push_back(edge->getSlack().getValue());
      graph.weights.push_back(edge->getWeight());
    }
  return graph;
}

}  // namespace MorvaPython
