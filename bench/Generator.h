#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace MorvaBench {

// A synthetic design held by a fresh analyzer: registers on one clock,
// fed by a clock tree, whose outputs drive layered combinational cones
// that end at the registers' setup checks.
struct Design {
  Morva::Pole* clock = nullptr;
  Morva::Subdomain* subdomain = nullptr;
  std::size_t edgeCount = 0;
  std::size_t poleCount = 0;
};

// Builds a design of about `edges` edges, always the same for one seed.
// Any analyzer in place is destroyed first.
//
// Layout: clk -> a clock tree of fanout 16 -> one clock pin per register
// (Mode Rising, with its dual data pole); each register drives its output
// through a cell arc; ten layers of combinational poles follow, each pole
// taking two fan-ins from the layer before it (the first layer from the
// register outputs); every register captures one pole of the last layer
// through a setup check. The single subdomain clk (Rising) to clk (Rising)
// launches and captures at every register, with the setup relation set to
// its longest arrival, so that slacks straddle 0.
inline Design generate(std::size_t edges, unsigned seed) {
  using namespace Morva;
  if (analyzer) analyzer->destroy();
  Analyzer::create();
  std::mt19937 random(seed);
  Design design;
  const auto pole = [&design](const std::string& name) {
    ++design.poleCount;
    return Pole::createMain(name);
  };
  const auto edge = [&design, &random](Pole* source, Pole* target, Purpose::Code purpose) {
    Edge* created = Edge::create(source, target, Purpose(purpose));
    const int minimum = 5 + static_cast<int>(random() % 20);
    created->setMinimumDelay(Delay(minimum));
    created->setMaximumDelay(Delay(minimum + static_cast<int>(random() % 30)));
    ++design.edgeCount;
    return created;
  };

  constexpr std::size_t kLayers = 10;
  constexpr std::size_t kFanin = 2;
  constexpr std::size_t kTreeFanout = 16;
  const std::size_t registerCount = std::max<std::size_t>(4, edges / 50);
  const std::size_t width =
      std::max<std::size_t>(2, (edges - std::min(edges, 4 * registerCount)) / (kLayers * kFanin));

  design.clock = pole("clk");
  std::vector<Pole*> tree{design.clock};
  for (std::size_t index = 0; tree.size() * kTreeFanout < registerCount; ++index) {
    Pole* buffer = pole("cb" + std::to_string(index));
    edge(tree[index], buffer, Purpose::Interconnect);
    tree.push_back(buffer);
  }
  std::vector<Pole*> registers, layer;
  for (std::size_t index = 0; index < registerCount; ++index) {
    const std::string name = "r" + std::to_string(index);
    Pole* clockPin = pole(name);
    clockPin->setMode(Mode(Mode::Rising));
    Pole::createDual(name);
    ++design.poleCount;
    edge(tree[tree.size() - 1 - index % std::min(tree.size(), kTreeFanout)], clockPin,
         Purpose::Interconnect);
    Pole* output = pole(name + "/Q");
    edge(clockPin, output, Purpose::IOPath);
    registers.push_back(clockPin);
    layer.push_back(output);
  }
  for (std::size_t level = 0; level < kLayers; ++level) {
    std::vector<Pole*> next;
    for (std::size_t index = 0; index < width; ++index) {
      Pole* gate = pole("g" + std::to_string(level) + "_" + std::to_string(index));
      for (std::size_t fanin = 0; fanin < kFanin; ++fanin) {
        Pole* source = layer[random() % layer.size()];
        if (!gate->getIncomingEdge(source)) edge(source, gate, Purpose::IOPath);
      }
      next.push_back(gate);
    }
    layer.swap(next);
  }
  for (Pole* clockPin : registers)
    edge(layer[random() % layer.size()], analyzer->getDualPole(clockPin->getName()),
         Purpose::SetupHold);

  Domain* domain = Domain::create(design.clock, design.clock);
  design.subdomain = Subdomain::create(domain, Mode(Mode::Rising), Mode(Mode::Rising));
  for (Pole* clockPin : registers) {
    design.subdomain->captureLaunch(clockPin);
    design.subdomain->captureLatch(clockPin);
  }
  Scanner* scanner = design.subdomain->openScanner();
  scanner->clockAnalyze();
  scanner->arrivalAnalyze();
  design.subdomain->setSetupRelation(design.subdomain->getLAT());
  design.subdomain->setHoldRelation(Delay(0));
  design.subdomain->closeScanner();
  return design;
}

}  // namespace MorvaBench
