#pragma once

// The work that the archive fuzz target does with one input, shared with the
// regression test that replays its findings: load the archive into a fresh
// analyzer and, when the load succeeds, analyse and report everything.

#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Morva/Delay.h>
#include <Morva/Domain.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <string>

namespace ArchiveFuzz {

// Loads `path`, then runs the complete analysis with its domain report, the
// longest and shortest route reports of every domain in both layouts, and a
// second pass the way a host analyses again after a change: reset, then the
// parameterised launch with slack tagging and edge weights, and the compact
// domain report. Returns the message of the `Orvek::Exception` that ended
// the work, or an empty text; any other exception goes on to the caller.
// The second pass runs under SDC conventions, so that both rule sets meet
// every input.
// The analyzer is destroyed and the console indentation restored either way.
inline std::string run(const std::string& path) {
  std::string failure;
  Morva::Analyzer::create();
  try {
    Morva::Archive(path).load();
    Morva::analyzer->analyze();
    for (Morva::Domain* domain : Morva::analyzer->getDomains()) {
      for (bool compact : {true, false}) {
        try {
          domain->reportLongestRoutes(compact);
          domain->reportShortestRoutes(compact);
        } catch (const Orvek::Exception&) {
          // An incoherent route stops its own report only.
        }
      }
    }
    Morva::analyzer->reset();
    Morva::analyzer->setConventions(Morva::Conventions::Sdc);
    Morva::analyzer->createDomains();
    Morva::analyzer->launch(Morva::analyzer->getDomains(), true, true, true, true, 10,
                            Morva::Delay::getMaximum(), Morva::Delay::getMaximum());
    Morva::analyzer->reportDomains(true);
  } catch (const Orvek::Exception& exception) {
    failure = exception.getMessage();
    if (failure.empty()) failure = "(no message)";
  } catch (...) {
    Morva::analyzer->destroy();
    throw;
  }
  Morva::analyzer->destroy();
  // A report stopped by an exception leaves its indentation behind.
  while (Orvek::console.getIndentation() > 0) Orvek::console.unindent();
  return failure;
}

}  // namespace ArchiveFuzz
