#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/Precedence.h>
#include <Morva/detail/RouteReport.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Text.h>

namespace Morva {

namespace {

// The report belongs to the subdomain that prints it.
constexpr const char* kSource = "lib/Morva/Subdomain";

}  // namespace

void RouteReport::print(const Routes& routes, const std::string& title, bool longest,
                        bool compact) const {
  Orvek::Console& console = Orvek::console;
  console.print(title, "");
  console.indent();
  const unsigned long count = routes.getCount();
  if (count == 0) {
    console.print("Paths not computed", "");
    console.unindent();
    return;
  }

  if (compact)
    printCompact(routes, count, longest);
  else
    printFull(routes, count, longest);
  console.unindent();
}

void RouteReport::printCompact(const Routes& routes, unsigned long count, bool longest) const {
  Orvek::Console& console = Orvek::console;
  console.openTable(5, count + 1, 8);
  const char* headings[] = {"Slack", "Delay", "Skew", "Length", "Path"};
  for (unsigned long column = 0; column < 5; ++column)
    console.addCell(column, 0, headings[column], 0, 0);
  console.addSeparator(0);
  unsigned long row = 0;
  for (Route* route : routes) {
    ++row;
    // The literal rules show the short delay of a shortest route here.
    const std::string first = longest || analyzer->isSdc() ? _subdomain.getSlackLabel(*route)
                                                           : route->getAdjustedDelay()._getLabel();
    console.addCell(0, row, first, 1, 0);
    console.addCell(1, row, route->getDataDelay()._getLabel(), 1, 0);
    console.addCell(2, row, route->getSkew()._getLabel(), 1, 0);
    console.addCell(3, row, Orvek::getLabel(route->getDepth()), 1, 0);
    console.addCell(4, row, route->getAlias(), -1, 0);
  }
  console.closeTable();
}

void RouteReport::printFull(const Routes& routes, unsigned long count, bool longest) const {
  Orvek::Console& console = Orvek::console;
  // The clock column follows the roots: the latch clock delay for data from
  // the inputs, the launch clock delay for data to the outputs, the skew
  // between two clocks.
  const bool hasLaunch = _subdomain.getLaunchRoot() != nullptr;
  const bool hasLatch = _subdomain.getLatchRoot() != nullptr;
  std::string clockHeading = "Clock Skew";
  if (hasLatch && !hasLaunch) clockHeading = "Latch Clock Delay";
  if (hasLaunch && !hasLatch) clockHeading = "Launch Clock Delay";

  console.openTable(8, count + 2, 8);
  const std::string headings[] = {"Slack",      "Source",
                                  "Target",     "Data Delay",
                                  clockHeading, longest ? "Setup/Recovery" : "Hold/Removal",
                                  "Depth",      "Note"};
  for (unsigned long column = 0; column < 8; ++column)
    console.addCell(column, 0, Orvek::getFormatted(headings[column], 15, 0), 0, 0);
  console.addSeparator(0);

  unsigned long row = 0;
  for (Route* route : routes) {
    ++row;
    std::string target = "-";
    std::string check = "-";
    Pole* end = route->getTarget();
    if (end->isClock()) Orvek::raise<Orvek::Fatal>(kSource, "reportRoutes", "Incoherent path");
    if (end->isOutput()) {
      target = end->getName();
    } else {
      if (!end->isDual()) Orvek::raise<Orvek::Fatal>(kSource, "reportRoutes", "Incoherent path");
      const Edge* last = route->getEdgeList().back();
      target = last->getSource()->getName();
      check = (longest ? last->getMaximumDelay() : last->getMinimumDelay())._getLabel();
    }

    std::string clock = "-";
    if (hasLaunch && !hasLatch)
      clock = (-route->getSkew())._getLabel();
    else if (hasLaunch || hasLatch)
      clock = route->getSkew()._getLabel();

    const std::string note = getNote(*route, longest);

    console.addCell(0, row, _subdomain.getSlackLabel(*route), 1, 0);
    console.addCell(1, row, route->getSource()->getName(), -1, 0);
    console.addCell(2, row, target, -1, 0);
    console.addCell(3, row, route->getDataDelay()._getLabel(), 1, 0);
    console.addCell(4, row, clock, 1, 0);
    console.addCell(5, row, check, 1, 0);
    console.addCell(6, row, Orvek::getLabel(route->getDepth()), 1, 0);
    console.addCell(7, row, note, 1, 0);
  }
  console.addSeparator(count);
  console.addCell(0, count + 1, 2, count + 1, "Total", -1, 0);
  console.addCell(3, count + 1, 7, count + 1, Orvek::getLabel(count), 1, 0);
  console.closeTable();
}

std::string RouteReport::getNote(const Route& route, bool longest) const {
  CPath* path = route.getConstrainedPath();
  if (!path) return "";
  const auto* delayPath = asDelayPath(path);
  const auto* cyclePath = asMulticyclePath(path);
  if (longest && cyclePath && (_subdomain.isPureClock() || analyzer->isSdc()))
    return "MultiCycle: x" + Orvek::getLabel(cyclePath->getCycleCount());
  if (longest && delayPath && delayPath->isMaximum())
    return "MaxDelay: " + delayPath->getDelay()._getLabel();
  if (!longest && delayPath && !delayPath->isMaximum())
    return "MinDelay: " + delayPath->getDelay()._getLabel();
  return "";
}

}  // namespace Morva
