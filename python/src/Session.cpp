#include "Session.h"

#include "Errors.h"

#include <InputReport.h>
#include <JsonWriter.h>
#include <Notes.h>
#include <Reports.h>

#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <utility>

namespace MorvaPython {

namespace py = pybind11;

namespace {

constexpr long long kLowestTime = -2147483646LL;
constexpr long long kHighestTime = 2147483646LL;
constexpr unsigned long kMostRoutes = 1000000000UL;

Morva::Delay getBound(const std::optional<long long>& time, const char* name) {
  if (!time) return Morva::Delay::getMaximum();
  if (*time < kLowestTime || *time > kHighestTime)
    Orvek::raise<Orvek::InvalidRequest>(
        kSource, "analyze", std::string("Invalid ") + name + " " + std::to_string(*time));
  return Morva::Delay(static_cast<int>(*time));
}

}  // namespace

Session::Session(py::object output, bool quiet) {
  if (Morva::analyzer)
    Orvek::raise<Orvek::FactoryFailed>(kSource, "Analyzer",
                                       "Another analyzer is open: close it first");
  _console = std::make_unique<ConsoleBridge>(std::move(output), !quiet);
  Morva::Analyzer::create();
  _open = true;
}

Session::~Session() {
  // Python drops a session only while no call runs in it: closing cannot
  // find it busy, and the library's destruction raises nothing.
  if (!_busy) close();
}

void Session::close() {
  if (_busy)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "close", "The analyzer is busy in another thread");
  if (_open && Morva::analyzer) Morva::analyzer->destroy();
  _open = false;
  _analysed = false;
  _console.reset();
}

void Session::check(const char* operation) const {
  if (!_open) Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "The analyzer is closed");
  if (_busy)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation,
                                        "The analyzer is busy in another thread");
}

template <class Step>
void Session::run(const char* operation, bool released, Step step) {
  check(operation);
  _busy = true;
  try {
    if (released) {
      py::gil_scoped_release release;
      step();
    } else {
      step();
    }
  } catch (...) {
    _busy = false;
    _console->discard();
    throw;
  }
  _busy = false;
  _console->complete();
}

void Session::load(const std::vector<std::string>& archives) {
  run("load", true, [this, &archives] {
    for (const std::string& archive : archives) {
      // Lines rejected or misread are told on the console with their place
      // and counted for the document, as the command line does.
      _inputs.push_back(
          std::make_unique<MorvaTool::InputReport>(archive, Orvek::console.getOutput()));
      Morva::Archive loader(archive);
      loader.setListener(_inputs.back().get());
      loader.load();
      _options.archives.push_back(archive);
    }
  });
}

void Session::build(const char* operation, const std::function<void()>& call) {
  run(operation, false, call);
}

std::string Session::analyze(const AnalysisRequest& request) {
  check("analyze");
  if (request.count < 1 || request.count > kMostRoutes)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "analyze",
                                        "Invalid count " + std::to_string(request.count));
  if (request.weights && !request.tagSlacks)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "analyze", "Weights need tagged slacks");
  MorvaTool::Options options = _options;
  options.count = request.count;
  options.limit = getBound(request.limit, "limit");
  options.margin = getBound(request.margin, "margin");
  options.setupOnly = request.setup && !request.hold;
  options.holdOnly = request.hold && !request.setup;
  options.noRoutes = !request.setup && !request.hold;
  options.tagSlacks = request.tagSlacks;
  options.weights = request.weights;
  const std::optional<Morva::Conventions> conventions = Morva::findConventions(request.conventions);
  if (!conventions)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "analyze",
                                        "Invalid conventions " + request.conventions);
  options.conventions = *conventions;
  _options = options;
  std::string text;
  run("analyze", true, [this, &text] {
    Morva::Analyzer& analyzer = *Morva::analyzer;
    // Results of an earlier analysis go first, as before any new analysis.
    if (_analysed) analyzer.reset();
    _analysed = true;
    analyzer.setConventions(_options.conventions);
    analyzer.createDomains();
    if (!analyzer.cpathsAchieved()) analyzer.achieveConstrainedPaths();
    analyzer.launch(analyzer.getDomains(), _options.tagSlacks, _options.weights,
                    _options.searchesLongest(), _options.searchesShortest(), _options.count,
                    _options.margin, _options.limit);
    nlohmann::ordered_json document =
        MorvaTool::getAnalysisJson(_options, MorvaTool::getNotes(_options));
    document["warnings"] = _console->getMessages();
    nlohmann::ordered_json& input = document["input"] = nlohmann::ordered_json::array();
    for (const std::unique_ptr<MorvaTool::InputReport>& report : _inputs)
      input.push_back(report->getJson());
    text = MorvaTool::getJsonText(document);
  });
  return text;
}

void Session::printReports(bool compact, bool detail) {
  if (!_analysed)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "print_reports", "Nothing analysed yet");
  MorvaTool::Options options = _options;
  options.compact = compact;
  options.detail = detail && !options.noRoutes;
  run("print_reports", true, [&options] { MorvaTool::printReports(options, [] { return true; }); });
}

GraphArrays Session::readGraph() {
  GraphArrays graph;
  run("graph", false, [&graph] { graph = GraphArrays::read(); });
  return graph;
}

}  // namespace MorvaPython
