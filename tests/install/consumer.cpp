// A separate program built against an installed Morva: it includes every
// public header, builds a two-pole design and prints through the console.
#include <Morva/Morva.h>

#include <string>

int main() {
  Morva::Analyzer::create();
  auto* in = Morva::Pole::createMain("in");
  auto* out = Morva::Pole::createMain("out");
  Morva::Edge::createInterconnect(in, out);
  Orvek::console.print("Morva consumer: " + std::to_string(Morva::analyzer->getEdges().getCount()) +
                       " edge");
  Morva::analyzer->destroy();
  return 0;
}
