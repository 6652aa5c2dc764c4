#include "Reports.h"

#include <Morva/Analyzer.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>
#include <Orvek/Console.h>
#include <Orvek/Label.h>

#include <string>
#include <vector>

namespace MorvaTool {

namespace {

using Orvek::console;

struct DetailRow {
  std::string pole;
  std::string purpose;
  std::string delay;
  std::string cumulative;
};

// The poles of a route with the edge that reaches each one. The cumulative
// delay is the data delay from the source: a check arc into a register's
// capture point is listed with its setup or hold time but is not part of
// the data delay, as in the route report's "Data Delay" column.
std::vector<DetailRow> getDetailRows(const Morva::Route& route) {
  const std::list<Morva::Edge*>& edges = route.getEdgeList();
  std::vector<DetailRow> rows;
  Morva::Delay cumulative(0);
  rows.push_back({edges.front()->getSource()->getName(), "-", "-", cumulative._getLabel()});
  for (const Morva::Edge* edge : edges) {
    const Morva::Delay delay =
        route.isLongest() ? edge->getMaximumDelay() : edge->getMinimumDelay();
    const bool check = edge->getTarget()->isDual();
    if (!check) cumulative += delay;
    rows.push_back({edge->getTarget()->getName(), edge->getPurpose().getName(), delay._getLabel(),
                    check ? "-" : cumulative._getLabel()});
  }
  return rows;
}

// One table per route, titled by its rank, alias and slack so that it
// reads on its own even without the progress lines.
void printDetails(const Morva::Subdomain::RouteSet& routes) {
  console.indent();
  unsigned long rank = 0;
  for (const Morva::Route* route : routes) {
    ++rank;
    const std::string title = "Path " + Orvek::getLabel(rank) + ": " + route->getAlias() +
                              ", slack " + route->getSubdomain()->getSlackLabel(*route);
    // Every cell is computed before the table opens, so that a failing
    // delay sum leaves no half-filled table behind.
    const std::vector<DetailRow> rows = getDetailRows(*route);
    console.openTable(4, rows.size() + 2, 8);
    console.addCell(0, 0, 3, 0, title, -1, 0);
    console.addSeparator(0);
    const char* headings[] = {"Pole", "Edge", "Delay", "Cumulative"};
    for (unsigned long column = 0; column < 4; ++column)
      console.addCell(column, 1, headings[column], 0, 0);
    console.addSeparator(1);
    unsigned long row = 2;
    for (const DetailRow& cells : rows) {
      console.addCell(0, row, cells.pole, -1, 0);
      console.addCell(1, row, cells.purpose, -1, 0);
      console.addCell(2, row, cells.delay, 1, 0);
      console.addCell(3, row, cells.cumulative, 1, 0);
      ++row;
    }
    console.closeTable();
  }
  console.unindent();
}

// Without progress lines (--quiet) the library's report titles are not
// shown: each table still gets one title line, so that path tables say
// which domain they belong to.
void printTitle(const std::string& title) {
  if (!console.hasProgress()) console.getOutput() << title << '\n';
}

void reportRoutes(Morva::Domain& domain, bool longest, const Options& options) {
  printTitle((longest ? "Longest paths for domain " : "Shortest paths for domain ") +
             domain.getName());
  if (!options.detail) {
    if (longest)
      domain.reportLongestRoutes(options.compact);
    else
      domain.reportShortestRoutes(options.compact);
    return;
  }
  for (Morva::Subdomain* subdomain : domain.getSubdomainSet()) {
    if (longest)
      subdomain->reportLongestRoutes(options.compact);
    else
      subdomain->reportShortestRoutes(options.compact);
    printDetails(getRoutes(*subdomain, longest));
  }
}

}  // namespace

const Morva::Subdomain::RouteSet& getRoutes(const Morva::Subdomain& subdomain, bool longest) {
  return longest ? subdomain.getLongestRouteSet() : subdomain.getShortestRouteSet();
}

void printReports(const Options& options, const std::function<bool()>& keepGoing) {
  printTitle("Domains");
  Morva::analyzer->reportDomains(options.compact);
  if (!keepGoing()) return;
  for (Morva::Domain* domain : Morva::analyzer->getDomainSet()) {
    if (options.searchesLongest()) {
      reportRoutes(*domain, true, options);
      if (!keepGoing()) return;
    }
    if (options.searchesShortest()) {
      reportRoutes(*domain, false, options);
      if (!keepGoing()) return;
    }
  }
}

}  // namespace MorvaTool
