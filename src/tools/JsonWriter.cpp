#include "JsonWriter.h"

#include "Reports.h"
#include "Verdict.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

namespace MorvaTool {

namespace {

using json = nlohmann::ordered_json;

// A delay is its number of picoseconds, or the name of its code.
json getDelay(const Morva::Delay& delay) {
  if (delay == Morva::Delay::getUndefined()) return "undefined";
  if (delay == Morva::Delay::getMinimum()) return "minimum";
  if (delay == Morva::Delay::getMaximum()) return "maximum";
  return delay.getValue();
}

// A frequency is its number of hertz, or null where it is not known.
json getFrequency(const Morva::Frequency& frequency) {
  if (frequency == Morva::Frequency::getUndefined()) return nullptr;
  return static_cast<unsigned long>(frequency);
}

json getName(const Morva::Pole* root) {
  if (!root) return nullptr;
  return root->getReportName();
}

// The note of the full route report.
std::string getNote(const Morva::Route& route) {
  const Morva::CPath* path = route.getConstrainedPath();
  if (!path) return "";
  const auto* delayPath = dynamic_cast<const Morva::DPath*>(path);
  if (route.isLongest()) {
    if (const auto* multicycle = dynamic_cast<const Morva::MPath*>(path))
      return route.getSubdomain()->isPureClock()
                 ? "MultiCycle: x" + std::to_string(multicycle->getCycleCount())
                 : "";
    if (delayPath && delayPath->isMaximum())
      return "MaxDelay: " + delayPath->getDelay()._getLabel();
  } else if (delayPath && !delayPath->isMaximum()) {
    return "MinDelay: " + delayPath->getDelay()._getLabel();
  }
  return "";
}

json getEdge(const Morva::Edge& edge, bool longest, const Options& options) {
  json result = {{"source", edge.getSource()->getName()},
                 {"target", edge.getTarget()->getName()},
                 {"purpose", edge.getPurpose().getName()},
                 {"minimum", getDelay(edge.getMinimumDelay())},
                 {"maximum", getDelay(edge.getMaximumDelay())},
                 {"delay", getDelay(longest ? edge.getMaximumDelay() : edge.getMinimumDelay())}};
  if (options.tagSlacks) result["slack"] = getDelay(edge.getSlack());
  if (options.tagSlacks && options.weights) result["weight"] = edge.getWeight();
  return result;
}

json getRoute(const Morva::Route& route, const Options& options) {
  // Target and check value as the full route report shows them: a register
  // is named by its data pin, with the setup or hold time of its check arc.
  const Morva::Edge* last = route.getEdgeList().back();
  const bool check = route.getTarget()->isDual();
  json edges = json::array();
  for (const Morva::Edge* edge : route.getEdgeList())
    edges.push_back(getEdge(*edge, route.isLongest(), options));
  const bool timed = route.getSubdomain()->getDomain()->isTimed();
  json result = {{"source", route.getSource()->getName()},
                 {"target", check ? last->getSource()->getName() : route.getTarget()->getName()},
                 {"slack", timed ? getDelay(route.getSlack()) : json(nullptr)},
                 {"adjustedDelay", getDelay(route.getAdjustedDelay())},
                 {"dataDelay", getDelay(route.getDataDelay())},
                 {"skew", getDelay(route.getSkew())},
                 {"launchClockDelay", getDelay(route.getLaunchDelay())},
                 {"latchClockDelay", getDelay(route.getLatchDelay())},
                 {"check", check ? getDelay(route.isLongest() ? last->getMaximumDelay()
                                                              : last->getMinimumDelay())
                                 : json(nullptr)},
                 {"depth", route.getDepth()},
                 {"note", getNote(route)},
                 {"edges", edges}};
  if (!timed) result["constrained"] = false;
  return result;
}

json getRouteArray(const Morva::Subdomain& subdomain, bool longest, const Options& options) {
  json routes = json::array();
  if (longest ? options.searchesLongest() : options.searchesShortest())
    for (const Morva::Route* route : getRoutes(subdomain, longest))
      routes.push_back(getRoute(*route, options));
  return routes;
}

json getSubdomain(const Morva::Subdomain& subdomain, const Options& options) {
  const Morva::Analyzer& analyzer = *Morva::analyzer;
  Morva::Pole* launchRoot = subdomain.getLaunchRoot();
  json required = nullptr;
  json maximum = nullptr;
  // Only the subdomain that set its pure clock domain's period has
  // frequencies, as in the domain report.
  if (subdomain.isDecisive() && launchRoot) {
    const Morva::Delay period = analyzer.getRequiredPeriod(launchRoot);
    if (period != Morva::Delay::getUndefined()) required = getFrequency(period.getFrequency());
    maximum = getFrequency(analyzer.getPeriod(launchRoot).getFrequency());
  }
  const Morva::Delay shortest = subdomain.getSAT();
  const Morva::Delay longest = subdomain.getLAT();
  const Morva::Delay hold = subdomain.getHoldRelation();
  const Morva::Delay setup = subdomain.getSetupRelation();
  const bool timed = subdomain.getDomain()->isTimed();
  json result = {{"name", subdomain.getName()},
                 {"source", subdomain.getSourceName()},
                 {"target", subdomain.getTargetName()},
                 {"launchEdge", subdomain.getLaunchMode().getName()},
                 {"latchEdge", subdomain.getLatchMode().getName()},
                 {"requiredFrequency", required},
                 {"maximumFrequency", maximum},
                 {"hold",
                  {{"slack", timed ? getDelay(getHoldSlack(subdomain)) : json(nullptr)},
                   {"arrivalTime", getDelay(shortest)},
                   {"relationship", getDelay(hold)}}},
                 {"setup",
                  {{"slack", timed ? getDelay(getSetupSlack(subdomain)) : json(nullptr)},
                   {"arrivalTime", getDelay(longest)},
                   {"relationship", getDelay(setup)}}},
                 {"longestRoutes", getRouteArray(subdomain, true, options)},
                 {"shortestRoutes", getRouteArray(subdomain, false, options)}};
  if (!timed) result["constrained"] = false;
  return result;
}

json getNegativeSlacks(const Verdict& verdict) {
  return {{"wns", {{"setup", verdict.setup.worst}, {"hold", verdict.hold.worst}}},
          {"tns", {{"setup", verdict.setup.total}, {"hold", verdict.hold.total}}}};
}

}  // namespace

json getAnalysisJson(const Options& options, const std::vector<std::string>& notes) {
  json domains = json::array();
  Verdict total;
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet()) {
    json subdomains = json::array();
    for (const Morva::Subdomain* subdomain : domain->getSubdomainSet())
      subdomains.push_back(getSubdomain(*subdomain, options));
    const Verdict verdict = getVerdict(*domain, options);
    total.add(verdict);
    json entry = {{"name", domain->getName()},
                  {"launchClock", getName(domain->getLaunchRoot())},
                  {"latchClock", getName(domain->getLatchRoot())},
                  {"pureClock", domain->isPureClock()},
                  {"asynchronous", domain->isAsynchronous()}};
    if (!domain->isTimed()) entry["constrained"] = false;
    entry.update(getNegativeSlacks(verdict));
    entry["subdomains"] = subdomains;
    domains.push_back(entry);
  }
  json document = {{"format", "morva-analysis"},
                   {"formatVersion", 1},
                   {"tool", std::string("morva ") + MORVA_VERSION},
                   {"archives", options.archives},
                   {"settings",
                    {{"longest", options.searchesLongest()},
                     {"shortest", options.searchesShortest()},
                     {"count", options.count},
                     {"limit", getDelay(options.limit)},
                     {"margin", getDelay(options.margin)},
                     {"tagSlacks", options.tagSlacks},
                     {"weights", options.weights},
                     {"conventions", Morva::getName(options.conventions)}}},
                   {"violations", countViolations(options)}};
  document.update(getNegativeSlacks(total));
  document["notes"] = notes;
  document["domains"] = domains;
  return document;
}

std::string getJsonText(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace MorvaTool
