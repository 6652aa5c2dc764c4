// A host program that embeds the Morva library: it builds a small design by
// calls instead of loading an archive, analyses it and walks the results.
//
//   din --> ra --> g1 --> rb --> dout
//            |
//            +--> slow --> rc          (declared a false path)
//
// ra, rb and rc are registers on the rising edge of clk (1 GHz). din has an
// input delay of 200 ps after clk; the path from ra to rc is too slow for
// one period, but it is declared false, so the analysis leaves it out.

#include <Morva/Analyzer.h>
#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <iostream>
#include <string>

namespace {

using Morva::Delay;
using Morva::Edge;
using Morva::Pole;

// A port: a primary pole. It is an input while no edge enters it.
Pole* createPort(const std::string& name) {
  Pole* port = Pole::createMain(name);
  port->setType(Morva::Type(Morva::Type::Primary));
  return port;
}

Edge* connect(Pole* source, Pole* target, const Morva::Purpose& purpose, int minimum, int maximum) {
  Edge* edge = Edge::create(source, target, purpose);
  edge->setMinimumDelay(Delay(minimum));
  edge->setMaximumDelay(Delay(maximum));
  return edge;
}

// A register on the rising edge: its clock pin (a clock pole) and the dual
// pole of the same name where it captures data, its data and output pins,
// the setup/hold check and the clock-to-output arc. Returns the clock pin.
Pole* createRegister(const std::string& name, Pole* clockNet) {
  Pole* clock = Pole::createMain(name + "/CK");
  clock->setMode(Morva::Mode(Morva::Mode::Rising));
  Pole* capture = Pole::createDual(name + "/CK");
  Pole* data = Pole::createMain(name + "/D");
  Pole* output = Pole::createMain(name + "/Q");
  connect(clockNet, clock, Morva::Purpose::Interconnect, 20, 30);
  connect(data, capture, Morva::Purpose::SetupHold, 15, 60);  // hold 15 ps, setup 60 ps
  connect(clock, output, Morva::Purpose::IOPath, 90, 130);
  return clock;
}

Pole* pin(const std::string& name) {
  return Morva::analyzer->getMainPole(name);
}

void buildDesign() {
  Pole* clk = createPort("clk");
  Pole* din = createPort("din");
  Pole* dout = createPort("dout");
  createRegister("ra", clk);
  createRegister("rb", clk);
  Pole* rc = createRegister("rc", clk);
  Pole* g1in = Pole::createMain("g1/A");
  Pole* g1out = Pole::createMain("g1/Y");
  Pole* slow = Pole::createMain("slow");

  connect(din, pin("ra/D"), Morva::Purpose::Interconnect, 30, 40);
  connect(pin("ra/Q"), g1in, Morva::Purpose::Interconnect, 10, 15);
  connect(g1in, g1out, Morva::Purpose::IOPath, 40, 70);
  connect(g1out, pin("rb/D"), Morva::Purpose::Interconnect, 8, 12);
  connect(pin("rb/Q"), dout, Morva::Purpose::Interconnect, 35, 45);
  connect(pin("ra/Q"), slow, Morva::Purpose::Interconnect, 900, 1400);
  connect(slow, pin("rc/D"), Morva::Purpose::Interconnect, 10, 20);

  Morva::analyzer->createClock(clk, "clk", Delay(1000), Delay(0), Delay(500));
  Morva::analyzer->setInputConstraint(
      din, Morva::IOConstraint(clk, Morva::Mode(Morva::Mode::Rising), Delay(100), Delay(200)));
  // False path from ra to rc: timed exceptions name their targets by the
  // register's capture point, its dual pole. The sets are handed over as
  // collection views.
  using PoleView = Orvek::SetCollection<Pole*, Morva::Object::StampLess>;
  const Morva::PoleSet from{pin("ra/CK")};
  const Morva::PoleSet through;
  const Morva::PoleSet to{rc->getDual()};
  Morva::FPath::create(PoleView(from), PoleView(through), PoleView(to));
}

// Every domain, subdomain and route with its slack.
void printResults() {
  unsigned long routes = 0;
  Delay worst = Delay::getMaximum();
  for (Morva::Domain* domain : Morva::analyzer->getDomains()) {
    std::cout << "Domain " << domain->getName() << "\n";
    for (Morva::Subdomain* subdomain : domain->getSubdomains()) {
      std::cout << "  Subdomain " << subdomain->getName() << ": setup slack "
                << (subdomain->getSetupRelation() - subdomain->getLAT())._getLabel()
                << ", hold slack "
                << (subdomain->getSAT() - subdomain->getHoldRelation())._getLabel() << "\n";
      for (const bool longest : {true, false})
        for (Morva::Route* route :
             longest ? subdomain->getLongestRoutes() : subdomain->getShortestRoutes()) {
          const Delay slack = route->getSlack();
          std::cout << "    " << (longest ? "setup " : "hold  ") << route->getIdentifier()
                    << " slack " << slack._getLabel() << "\n";
          if (slack < worst) worst = slack;
          ++routes;
        }
    }
  }
  std::cout << "Host example: " << Morva::analyzer->getDomains().getCount() << " domains, "
            << routes << " routes, worst slack " << worst._getLabel() << "\n";
}

}  // namespace

int main() {
  int status = 0;
  Morva::Analyzer::create();
  try {
    buildDesign();
    // A request the library rejects raises an Orvek exception, located by
    // source, operation and line; a host reports it and carries on or stops.
    try {
      Pole::createMain("din");
    } catch (const Orvek::Exception& error) {
      std::cout << "Rejected: " << error.getMessage() << " (at " << error.getLocation() << ")\n";
    }
    // The analysis step by step: domains, constraints, then every domain
    // with both route searches, 10 routes each, no slack or margin bound.
    Morva::analyzer->createDomains();
    if (!Morva::analyzer->cpathsAchieved()) Morva::analyzer->achieveConstrainedPaths();
    Morva::analyzer->launch(Morva::analyzer->getDomains(), false, false, true, true, 10,
                            Delay::getMaximum(), Delay::getMaximum());
    printResults();
  } catch (const Orvek::Exception& error) {
    std::cerr << "Analysis failed: " << error.getMessage() << " (at " << error.getLocation()
              << ")\n";
    status = 1;
  }
  Morva::analyzer->destroy();
  return status;
}
