#include "JsonWriter.h"

#include "JsonText.h"
#include "Reports.h"
#include "Verdict.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include <sstream>

namespace MorvaTool {

namespace {

using json = nlohmann::ordered_json;

// A delay is its number of picoseconds, or the name of its code.
template <class Out>
void writeDelay(Out& out, const Morva::Delay& delay) {
  if (delay == Morva::Delay::getUndefined())
    out.value("undefined");
  else if (delay == Morva::Delay::getMinimum())
    out.value("minimum");
  else if (delay == Morva::Delay::getMaximum())
    out.value("maximum");
  else
    out.value(delay.getValue());
}

// A frequency is its number of hertz, or null where it is not known.
template <class Out>
void writeFrequency(Out& out, const Morva::Frequency& frequency) {
  if (frequency == Morva::Frequency::getUndefined())
    out.null();
  else
    out.value(static_cast<unsigned long>(frequency));
}

template <class Out>
void writeName(Out& out, const Morva::Pole* root) {
  if (root)
    out.value(root->getReportName());
  else
    out.null();
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

template <class Out>
void writeEdge(Out& out, const Morva::Edge& edge, bool longest, const Options& options) {
  out.beginObject();
  out.key("source");
  out.value(edge.getSource()->getName());
  out.key("target");
  out.value(edge.getTarget()->getName());
  out.key("purpose");
  out.value(edge.getPurpose().getName());
  out.key("minimum");
  writeDelay(out, edge.getMinimumDelay());
  out.key("maximum");
  writeDelay(out, edge.getMaximumDelay());
  out.key("delay");
  writeDelay(out, longest ? edge.getMaximumDelay() : edge.getMinimumDelay());
  if (options.tagSlacks) {
    out.key("slack");
    writeDelay(out, edge.getSlack());
  }
  if (options.tagSlacks && options.weights) {
    out.key("weight");
    out.value(edge.getWeight());
  }
  out.end();
}

template <class Out>
void writeRoute(Out& out, const Morva::Route& route, const Options& options) {
  // Target and check value as the full route report shows them: a register
  // is named by its data pin, with the setup or hold time of its check arc.
  const Morva::Edge* last = route.getEdgeList().back();
  const bool check = route.getTarget()->isDual();
  const bool timed = route.getSubdomain()->getDomain()->isTimed();
  out.beginObject();
  out.key("source");
  out.value(route.getSource()->getName());
  out.key("target");
  out.value(check ? last->getSource()->getName() : route.getTarget()->getName());
  out.key("slack");
  if (timed)
    writeDelay(out, route.getSlack());
  else
    out.null();
  out.key("adjustedDelay");
  writeDelay(out, route.getAdjustedDelay());
  out.key("dataDelay");
  writeDelay(out, route.getDataDelay());
  out.key("skew");
  writeDelay(out, route.getSkew());
  out.key("launchClockDelay");
  writeDelay(out, route.getLaunchDelay());
  out.key("latchClockDelay");
  writeDelay(out, route.getLatchDelay());
  out.key("check");
  if (check)
    writeDelay(out, route.isLongest() ? last->getMaximumDelay() : last->getMinimumDelay());
  else
    out.null();
  out.key("depth");
  out.value(route.getDepth());
  out.key("note");
  out.value(getNote(route));
  out.key("edges");
  out.beginArray();
  for (const Morva::Edge* edge : route.getEdgeList())
    writeEdge(out, *edge, route.isLongest(), options);
  out.end();
  if (!timed) {
    out.key("constrained");
    out.value(false);
  }
  out.end();
}

template <class Out>
void writeRoutes(Out& out, const Morva::Subdomain& subdomain, bool longest,
                 const Options& options) {
  out.beginArray();
  if (longest ? options.searchesLongest() : options.searchesShortest())
    for (const Morva::Route* route : getRoutes(subdomain, longest))
      writeRoute(out, *route, options);
  out.end();
}

// The slack, arrival time and relationship of one kind of a subdomain.
template <class Out>
void writeRelation(Out& out, bool timed, const Morva::Delay& slack, const Morva::Delay& arrival,
                   const Morva::Delay& relationship) {
  out.beginObject();
  out.key("slack");
  if (timed)
    writeDelay(out, slack);
  else
    out.null();
  out.key("arrivalTime");
  writeDelay(out, arrival);
  out.key("relationship");
  writeDelay(out, relationship);
  out.end();
}

template <class Out>
void writeSubdomain(Out& out, const Morva::Subdomain& subdomain, const Options& options) {
  const Morva::Analyzer& analyzer = *Morva::analyzer;
  Morva::Pole* launchRoot = subdomain.getLaunchRoot();
  const bool timed = subdomain.getDomain()->isTimed();
  out.beginObject();
  out.key("name");
  out.value(subdomain.getName());
  out.key("source");
  out.value(subdomain.getSourceName());
  out.key("target");
  out.value(subdomain.getTargetName());
  out.key("launchEdge");
  out.value(subdomain.getLaunchMode().getName());
  out.key("latchEdge");
  out.value(subdomain.getLatchMode().getName());
  // Only the subdomain that set its pure clock domain's period has
  // frequencies, as in the domain report.
  const bool decisive = subdomain.isDecisive() && launchRoot;
  const Morva::Delay period =
      decisive ? analyzer.getRequiredPeriod(launchRoot) : Morva::Delay::getUndefined();
  out.key("requiredFrequency");
  if (period != Morva::Delay::getUndefined())
    writeFrequency(out, period.getFrequency());
  else
    out.null();
  out.key("maximumFrequency");
  if (decisive)
    writeFrequency(out, analyzer.getPeriod(launchRoot).getFrequency());
  else
    out.null();
  out.key("hold");
  writeRelation(out, timed, getHoldSlack(subdomain), subdomain.getSAT(),
                subdomain.getHoldRelation());
  out.key("setup");
  writeRelation(out, timed, getSetupSlack(subdomain), subdomain.getLAT(),
                subdomain.getSetupRelation());
  out.key("longestRoutes");
  writeRoutes(out, subdomain, true, options);
  out.key("shortestRoutes");
  writeRoutes(out, subdomain, false, options);
  if (!timed) {
    out.key("constrained");
    out.value(false);
  }
  out.end();
}

// The worst and total negative slacks, setup and hold, as two members.
template <class Out>
void writeNegativeSlacks(Out& out, const Verdict& verdict) {
  for (const bool worst : {true, false}) {
    out.key(worst ? "wns" : "tns");
    out.beginObject();
    out.key("setup");
    out.value(worst ? verdict.setup.worst : verdict.setup.total);
    out.key("hold");
    out.value(worst ? verdict.hold.worst : verdict.hold.total);
    out.end();
  }
}

template <class Out>
void writeStrings(Out& out, const std::vector<std::string>& texts) {
  out.beginArray();
  for (const std::string& text : texts) out.value(text);
  out.end();
}

// The whole document; the members of `tail` (an object) close it.
template <class Out>
void writeAnalysis(Out& out, const Options& options, const std::vector<std::string>& notes,
                   const json& tail) {
  Verdict total;
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet())
    total.add(getVerdict(*domain, options));
  out.beginObject();
  out.key("format");
  out.value("morva-analysis");
  out.key("formatVersion");
  out.value(1);
  out.key("tool");
  out.value(std::string("morva ") + MORVA_VERSION);
  out.key("archives");
  writeStrings(out, options.archives);
  out.key("settings");
  out.beginObject();
  out.key("longest");
  out.value(options.searchesLongest());
  out.key("shortest");
  out.value(options.searchesShortest());
  out.key("count");
  out.value(options.count);
  out.key("limit");
  writeDelay(out, options.limit);
  out.key("margin");
  writeDelay(out, options.margin);
  out.key("tagSlacks");
  out.value(options.tagSlacks);
  out.key("weights");
  out.value(options.weights);
  out.key("conventions");
  out.value(Morva::getName(options.conventions));
  out.end();
  out.key("violations");
  out.value(countViolations(options));
  writeNegativeSlacks(out, total);
  out.key("notes");
  writeStrings(out, notes);
  out.key("domains");
  out.beginArray();
  for (const Morva::Domain* domain : Morva::analyzer->getDomainSet()) {
    out.beginObject();
    out.key("name");
    out.value(domain->getName());
    out.key("launchClock");
    writeName(out, domain->getLaunchRoot());
    out.key("latchClock");
    writeName(out, domain->getLatchRoot());
    out.key("pureClock");
    out.value(domain->isPureClock());
    out.key("asynchronous");
    out.value(domain->isAsynchronous());
    if (!domain->isTimed()) {
      out.key("constrained");
      out.value(false);
    }
    writeNegativeSlacks(out, getVerdict(*domain, options));
    out.key("subdomains");
    out.beginArray();
    for (const Morva::Subdomain* subdomain : domain->getSubdomainSet())
      writeSubdomain(out, *subdomain, options);
    out.end();
    out.end();
  }
  out.end();
  for (const auto& [name, member] : tail.items()) {
    out.key(name);
    out.value(member);
  }
  out.end();
}

}  // namespace

json getAnalysisJson(const Options& options, const std::vector<std::string>& notes,
                     const json& tail) {
  JsonTree tree;
  writeAnalysis(tree, options, notes, tail);
  return std::move(tree.getTree());
}

void writeAnalysisJson(std::ostream& output, const Options& options,
                       const std::vector<std::string>& notes, const json& tail) {
  JsonText text(output);
  writeAnalysis(text, options, notes, tail);
  text.flush();
  output << '\n';
}

std::string getJsonText(const nlohmann::ordered_json& document) {
  std::ostringstream output;
  {
    JsonText text(output);
    text.value(document);
  }
  output << '\n';
  return output.str();
}

}  // namespace MorvaTool
