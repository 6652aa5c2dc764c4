// morva-bench: times the stages of an analysis on generated designs of
// several sizes and prints one table of stages by sizes.
//
// For each size it writes a design (bench/DesignWriter.h) plain and
// gzip-compressed into a temporary directory, then measures in this
// process: loading either file into a fresh analyzer, domain creation,
// constraint achievement, the making of the graph image the passes read,
// the three propagation passes of every domain,
// route searches, slack tagging, the domain and route reports (console
// output thrown away), the three passes of the largest subdomain alone and
// the flat-array baseline of the same cone (bench/FlatGraph.h). Last come
// complete runs of the morva command line as subprocesses: one with its
// reports, for the wall time and the peak resident memory, and two with
// --json, whose outputs must be the same bytes.
//
// A stage is repeated (best time kept) while it takes under a second, up
// to --repetitions; domain creation, constraint achievement and the passes
// of all the domains (which a domain allows only once) are repeated the
// same way on a reloaded design.

#include "DesignWriter.h"
#include "FlatGraph.h"
#include "Subprocess.h"

#include "../src/tools/JsonWriter.h"

#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/GraphImage.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <malloc.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A stream buffer that drops everything: the reports are still rendered.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// A stream buffer that counts what it is given and drops it.
class CountingBuffer : public NullBuffer {
 public:
  std::uint64_t getCount() const { return _count; }

 protected:
  int overflow(int c) override {
    ++_count;
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    _count += static_cast<std::uint64_t>(count);
    return count;
  }

 private:
  std::uint64_t _count = 0;
};

// Writes the archive `from` again as `to` with every POLE line first, then
// the EDGE lines in a random order, then the other lines: each EDGE line
// names poles declared anywhere before, as in a netlist written from a
// real design.
void writeShuffled(const std::string& from, const std::string& to, std::uint64_t seed) {
  std::ifstream input(from);
  std::vector<std::string> poles, edges, others;
  for (std::string line; std::getline(input, line);)
    (line.starts_with("POLE ")   ? poles
     : line.starts_with("EDGE ") ? edges
                                 : others)
        .push_back(std::move(line));
  std::mt19937_64 random(seed);
  std::shuffle(edges.begin(), edges.end(), random);
  std::ofstream output(to);
  for (const auto* lines : {&poles, &edges, &others})
    for (const std::string& line : *lines) output << line << '\n';
}

// ---- Results -----------------------------------------------------------------------------

struct Row {
  std::string stage;
  double seconds = 0;
  std::uint64_t edges = 0;  // the edges the time is divided by
  double megabytes = 0;     // text read, for the loads
  int samples = 0;

  double nsPerEdge() const { return edges ? 1e9 * seconds / static_cast<double>(edges) : 0; }
};

struct SizeResult {
  std::uint64_t target = 0;
  MorvaBench::DesignCounts design;
  std::uint64_t gzipBytes = 0;
  std::uint64_t loadedEdges = 0;
  std::uint64_t loadedPoles = 0;
  std::size_t domains = 0;
  std::size_t subdomains = 0;
  std::string largest;
  std::uint64_t coneEdges = 0;
  std::uint64_t baselineEdges = 0;
  std::uint64_t droppedEdges = 0;
  std::uint64_t routes = 0;
  std::vector<Row> rows;
  double ratio = 0;
  MorvaBench::Measured morva;
  MorvaBench::Measured json[2];
  bool ran = false;
  bool identical = false;
  std::string console;  // errors and warnings of the library's console
  std::string failure;

  const Row* find(const std::string& stage) const {
    for (const Row& row : rows)
      if (row.stage == stage) return &row;
    return nullptr;
  }
};

struct Settings {
  std::vector<std::uint64_t> sizes{10000, 100000, 1000000};
  unsigned repetitions = 3;
  MorvaBench::DesignOptions design;
  std::string morva;
  std::string directory;
  bool keep = false;
  bool subprocess = true;
  // False paths added to the 10^4-edge design, one run for each count.
  std::vector<unsigned> falsePaths{65536, 262144};
};

// Stage names, in table order.
const char* const kLoadPlain = "load plain";
const char* const kLoadGzip = "load gzip";
const char* const kLoadShuffled = "load plain, EDGE lines shuffled";
const char* const kCreateDomains = "createDomains";
const char* const kAchieve = "achieveConstrainedPaths";
const char* const kImage = "graph image";
const char* const kClockAll = "clock pass, all subdomains";
const char* const kArrivalAll = "arrival pass, all subdomains";
const char* const kRequireAll = "required pass, all subdomains";
const char* const kLongest = "longest route search";
const char* const kShortest = "shortest route search";
const char* const kTag = "slack tagging";
const char* const kDomainReport = "domain report";
const char* const kRouteReports = "route reports";
const char* const kClockOne = "clock pass, largest subdomain";
const char* const kArrivalOne = "arrival pass, largest subdomain";
const char* const kRequireOne = "required pass, largest subdomain";
const char* const kForward = "baseline forward";
const char* const kBackward = "baseline backward";
const char* const kMorva = "morva run (subprocess)";
const char* const kMorvaJson = "morva --json run (subprocess)";
const char* const kJson = "JSON document";

// ---- Measurement ---------------------------------------------------------------------------

// Runs `prepare` then times `body`, up to `repetitions` times while the
// body stays under a second; keeps the best time.
Row measure(const std::string& stage, std::uint64_t edges, unsigned repetitions,
            const std::function<void()>& prepare, const std::function<void()>& body) {
  Row row{stage, 0, edges, 0, 0};
  for (unsigned run = 0; run < std::max(1U, repetitions); ++run) {
    prepare();
    const auto start = Clock::now();
    body();
    const double seconds = secondsSince(start);
    row.seconds = run == 0 ? seconds : std::min(row.seconds, seconds);
    ++row.samples;
    if (seconds >= 1.0) break;
  }
  return row;
}

void destroyAnalyzer() {
  if (Morva::analyzer) Morva::analyzer->destroy();
  // Freed memory goes back to the system between designs.
  malloc_trim(0);
}

void freshAnalyzer() {
  destroyAnalyzer();
  Morva::Analyzer::create();
}

std::vector<Morva::Subdomain*> getSubdomains() {
  std::vector<Morva::Subdomain*> subdomains;
  for (Morva::Domain* domain : Morva::analyzer->getDomainSet())
    for (Morva::Subdomain* subdomain : domain->getSubdomainSet()) subdomains.push_back(subdomain);
  return subdomains;
}

void destroyRoutes(bool longest) {
  for (Morva::Subdomain* subdomain : getSubdomains()) {
    const auto& set = longest ? subdomain->getLongestRouteSet() : subdomain->getShortestRouteSet();
    const std::vector<Morva::Route*> routes(set.begin(), set.end());
    for (Morva::Route* route : routes) route->destroy();
  }
}

// The edges the three passes of `subdomain` walk: backward from its capture
// points over active edges to the path starts (the arrival pass; the
// required pass comes back over the same edges), and the clock network
// from its clock pins back to the clock roots (the clock pass).
struct Cone {
  std::vector<MorvaBench::FlatGraph::Arc> arcs;
  std::size_t poles = 0;
};

Cone getCone(Morva::Subdomain* subdomain) {
  using Morva::Edge;
  using Morva::Pole;
  Cone cone;
  std::unordered_map<const Pole*, std::uint32_t> numbers;
  const auto number = [&numbers, &cone](const Pole* pole) {
    const auto [entry, added] = numbers.try_emplace(pole, static_cast<std::uint32_t>(cone.poles));
    if (added) ++cone.poles;
    return entry->second;
  };
  const auto add = [&](const Edge* edge) {
    cone.arcs.push_back({number(edge->getSource()), number(edge->getTarget()),
                         static_cast<std::int32_t>(edge->getMinimumDelay()),
                         static_cast<std::int32_t>(edge->getMaximumDelay())});
  };
  const auto isClockRoot = [](const Pole* pole) {
    return pole->isInput() || pole->getType().getCode() == Morva::Type::ClockSource;
  };
  std::unordered_map<const Pole*, bool> seen;
  std::vector<Pole*> stack;
  // Data: from the capture points back to the start points.
  for (Pole* leaf : subdomain->getLatchLeafSet()) {
    Pole* capture = leaf->getMode().getCode() != Morva::Mode::None ? leaf->getDual() : leaf;
    if (capture && seen.try_emplace(capture, true).second) stack.push_back(capture);
  }
  while (!stack.empty()) {
    Pole* pole = stack.back();
    stack.pop_back();
    if (pole->isInitial()) continue;
    for (Edge* edge : pole->getIncomingEdgeSet()) {
      if (!edge->isActive()) continue;
      add(edge);
      if (seen.try_emplace(edge->getSource(), true).second) stack.push_back(edge->getSource());
    }
  }
  // Clocks: from the clock pins back to the roots, leaving the checks out.
  seen.clear();
  for (const auto* leaves : {&subdomain->getLaunchLeafSet(), &subdomain->getLatchLeafSet()})
    for (Pole* leaf : *leaves)
      if (leaf->isClock() && seen.try_emplace(leaf, true).second) stack.push_back(leaf);
  while (!stack.empty()) {
    Pole* pole = stack.back();
    stack.pop_back();
    if (isClockRoot(pole)) continue;
    for (Edge* edge : pole->getIncomingEdgeSet()) {
      if (!edge->isActive() || (pole->isClock() && edge->isControl())) continue;
      add(edge);
      if (seen.try_emplace(edge->getSource(), true).second) stack.push_back(edge->getSource());
    }
  }
  return cone;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The console's error and warning lines, counted by text.
std::string summarizeConsole(const std::string& text) {
  std::map<std::string, unsigned> lines;
  std::istringstream input(text);
  for (std::string line; std::getline(input, line);) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    line.erase(0, start);
    if (line.rfind("Error:", 0) == 0 || line.rfind("Warning:", 0) == 0) ++lines[line];
  }
  std::string summary;
  for (const auto& [line, count] : lines)
    summary += "\n    " + line + (count > 1 ? " (x" + std::to_string(count) + ")" : "");
  return summary;
}

void progress(const std::string& text) {
  std::cerr << "morva-bench: " << text << std::endl;
}

SizeResult runSize(const Settings& settings, std::uint64_t target, const fs::path& directory) {
  SizeResult result;
  result.target = target;
  const unsigned repetitions = settings.repetitions;
  MorvaBench::DesignOptions options = settings.design;
  options.edges = target;
  MorvaBench::DesignWriter writer(options);
  const std::string name = "design-" + std::to_string(target) + ".morva";
  const std::string plain = (directory / name).string();
  const std::string gzip = plain + ".gz";
  const std::string shuffled = (directory / ("shuffled-" + name)).string();
  progress("writing " + plain + " and " + gzip);
  result.design = writer.writeFile(plain, false);
  result.gzipBytes = writer.writeFile(gzip, true).fileBytes;
  const std::uint64_t edges = result.design.edges;
  const double megabytes = static_cast<double>(result.design.textBytes) / 1e6;

  std::ostringstream diagnostics;
  NullBuffer nullBuffer;
  std::ostream discard(&nullBuffer);
  Orvek::console.setOutput(diagnostics);
  const auto add = [&result](Row row) { result.rows.push_back(std::move(row)); };

  try {
    progress(std::to_string(target) + " edges: loading");
    Row loadPlain = measure(kLoadPlain, edges, repetitions, freshAnalyzer,
                            [&plain] { Morva::Archive(plain).load(); });
    loadPlain.megabytes = megabytes;
    add(loadPlain);
    // Measured before the gzip file, which stays loaded for the stages
    // after: the shuffled file creates the edges in another order.
    writeShuffled(plain, shuffled, settings.design.seed);
    Row loadShuffled = measure(kLoadShuffled, edges, repetitions, freshAnalyzer,
                               [&shuffled] { Morva::Archive(shuffled).load(); });
    loadShuffled.megabytes = megabytes;
    Row loadGzip = measure(kLoadGzip, edges, repetitions, freshAnalyzer,
                           [&gzip] { Morva::Archive(gzip).load(); });
    loadGzip.megabytes = megabytes;
    add(loadGzip);
    add(loadShuffled);
    for (const Morva::Pole* pole : Morva::analyzer->getPoles()) {
      ++result.loadedPoles;
      for ([[maybe_unused]] const Morva::Edge* edge : pole->getOutgoingEdgeSet())
        ++result.loadedEdges;
    }

    // Domain creation, constraints and the passes of every domain as the
    // analysis runs them, on a reloaded design for each run.
    progress(std::to_string(target) + " edges: domains, constraints and passes");
    Row create{kCreateDomains, 0, edges, 0, 0};
    Row achieve{kAchieve, 0, edges, 0, 0};
    Row image{kImage, 0, edges, 0, 0};
    Row clockAll{kClockAll, 0, edges, 0, 0};
    Row arrivalAll{kArrivalAll, 0, edges, 0, 0};
    Row requireAll{kRequireAll, 0, edges, 0, 0};
    for (unsigned run = 0; run < std::max(1U, repetitions); ++run) {
      if (run > 0) {
        freshAnalyzer();
        Morva::Archive(gzip).load();
      }
      bool slow = false;
      const auto time = [run, &slow](Row& row, const std::function<void()>& body) {
        const auto start = Clock::now();
        body();
        const double seconds = secondsSince(start);
        row.seconds = run == 0 ? seconds : std::min(row.seconds, seconds);
        ++row.samples;
        slow = slow || seconds >= 1.0;
      };
      time(create, [] { Morva::analyzer->createDomains(); });
      time(achieve, [] { Morva::analyzer->achieveConstrainedPaths(); });
      // Made by the first pass otherwise, once per change to the graph.
      time(image, [] { Morva::GraphImage::get(); });
      const auto& domains = Morva::analyzer->getDomainSet();
      for (Morva::Domain* domain : domains) domain->openScanners();
      const auto step = [&domains](void (Morva::Domain::*step)()) {
        return [&domains, step] {
          for (Morva::Domain* domain : domains) (domain->*step)();
        };
      };
      time(clockAll, step(&Morva::Domain::clockAnalyze));
      time(arrivalAll, step(&Morva::Domain::arrivalAnalyze));
      time(requireAll, step(&Morva::Domain::requireAnalyze));
      if (slow) break;
    }
    for (const Row& row : {create, achieve, image, clockAll, arrivalAll, requireAll}) add(row);
    const auto& domains = Morva::analyzer->getDomainSet();
    result.domains = domains.size();
    const std::vector<Morva::Subdomain*> subdomains = getSubdomains();
    result.subdomains = subdomains.size();

    progress(std::to_string(target) + " edges: route searches and slack tagging");
    const Morva::Delay maximum = Morva::Delay::getMaximum();
    add(measure(
        kLongest, edges, repetitions, [] { destroyRoutes(true); },
        [&] {
          for (Morva::Domain* domain : domains) domain->searchLongestRoutes(maximum, maximum, 50);
        }));
    add(measure(
        kShortest, edges, repetitions, [] { destroyRoutes(false); },
        [&] {
          for (Morva::Domain* domain : domains) domain->searchShortestRoutes(maximum, maximum, 50);
        }));
    for (Morva::Subdomain* subdomain : subdomains)
      result.routes +=
          subdomain->getLongestRouteSet().size() + subdomain->getShortestRouteSet().size();
    add(measure(
        kTag, edges, repetitions, [] {},
        [&] {
          for (Morva::Domain* domain : domains) domain->tagSlacks();
        }));
    for (Morva::Domain* domain : domains) domain->closeScanners();

    progress(std::to_string(target) + " edges: reports");
    Orvek::console.setOutput(discard);
    add(measure(
        kDomainReport, edges, repetitions, [] {}, [] { Morva::analyzer->reportDomains(false); }));
    add(measure(
        kRouteReports, edges, repetitions, [] {},
        [&] {
          for (Morva::Domain* domain : domains) {
            domain->reportLongestRoutes(false);
            domain->reportShortestRoutes(false);
          }
        }));
    Orvek::console.setOutput(diagnostics);
    // The JSON document of the command line, with edge slacks, its size
    // in the MB/s column.
    MorvaTool::Options jsonOptions;
    jsonOptions.tagSlacks = true;
    std::uint64_t jsonBytes = 0;
    Row json = measure(
        kJson, edges, repetitions, [] {},
        [&] {
          CountingBuffer counter;
          std::ostream output(&counter);
          MorvaTool::writeAnalysisJson(output, jsonOptions, {}, nlohmann::ordered_json::object());
          jsonBytes = counter.getCount();
        });
    json.megabytes = static_cast<double>(jsonBytes) / 1e6;
    add(json);

    // The largest subdomain alone, each pass on a fresh scanner.
    Morva::Subdomain* largest = nullptr;
    std::size_t largestLeaves = 0;
    for (Morva::Subdomain* subdomain : subdomains) {
      const std::size_t leaves =
          subdomain->getLaunchLeafSet().size() + subdomain->getLatchLeafSet().size();
      if (!largest || leaves > largestLeaves) {
        largest = subdomain;
        largestLeaves = leaves;
      }
    }
    if (largest) {
      progress(std::to_string(target) + " edges: largest subdomain and baseline");
      result.largest = largest->getName();
      Cone cone = getCone(largest);
      result.coneEdges = cone.arcs.size();
      Morva::Scanner* scanner = nullptr;
      const auto prepare = [&scanner, largest](int passes) {
        return [&scanner, largest, passes] {
          scanner = largest->openScanner();
          if (passes > 0) scanner->clockAnalyze();
          if (passes > 1) scanner->arrivalAnalyze();
        };
      };
      add(measure(kClockOne, result.coneEdges, repetitions, prepare(0),
                  [&scanner] { scanner->clockAnalyze(); }));
      add(measure(kArrivalOne, result.coneEdges, repetitions, prepare(1),
                  [&scanner] { scanner->arrivalAnalyze(); }));
      add(measure(kRequireOne, result.coneEdges, repetitions, prepare(2),
                  [&scanner] { scanner->requireAnalyze(); }));
      largest->closeScanner();

      MorvaBench::FlatGraph graph(cone.poles, cone.arcs);
      cone = Cone();
      result.baselineEdges = graph.getArcCount();
      result.droppedEdges = graph.getDroppedCount();
      volatile std::int64_t checksum = 0;
      add(measure(
          kForward, result.baselineEdges, repetitions, [] {},
          [&] { checksum = checksum + graph.propagateForward(); }));
      add(measure(
          kBackward, result.baselineEdges, repetitions, [] {},
          [&] { checksum = checksum + graph.propagateBackward(1000); }));
      const double passes = result.find(kClockOne)->seconds + result.find(kArrivalOne)->seconds +
                            result.find(kRequireOne)->seconds;
      const double baseline = result.find(kForward)->seconds + result.find(kBackward)->seconds;
      result.ratio = baseline > 0 ? passes / baseline : 0;
    }
  } catch (const Orvek::Exception& error) {
    result.failure = error.getMessage() + " (at " + error.getLocation() + ")";
  } catch (const std::exception& error) {
    result.failure = error.what();
  }
  Orvek::console.setOutput(discard);
  destroyAnalyzer();
  result.console = summarizeConsole(diagnostics.str());

  if (settings.subprocess) {
    // One run as a user starts it, reports on standard output, for the
    // time and the memory; then two runs writing JSON, compared.
    const auto run = [&](const std::string& label, std::vector<std::string> arguments,
                         const std::string& err) {
      progress(std::to_string(target) + " edges: morva " + label);
      arguments.insert(arguments.begin(), settings.morva);
      arguments.push_back(plain);
      const MorvaBench::Measured measured = MorvaBench::runMeasured(arguments, "/dev/null", err);
      if (measured.status != 0 && result.failure.empty())
        result.failure = "morva " + label + " exited with status " +
                         std::to_string(measured.status) + ": " + readFile(err);
      return measured;
    };
    const std::string err = (directory / "run.err").string();
    result.morva = run("run", {}, err);
    for (int index = 0; index < 2; ++index)
      result.json[index] =
          run("--json run " + std::to_string(index + 1),
              {"--json", (directory / ("run" + std::to_string(index) + ".json")).string()}, err);
    result.ran = true;
    const std::string first = readFile((directory / "run0.json").string());
    result.identical = !first.empty() && first == readFile((directory / "run1.json").string());
    result.rows.push_back(Row{kMorva, result.morva.seconds, edges, 0, 1});
    result.rows.push_back(
        Row{kMorvaJson, std::min(result.json[0].seconds, result.json[1].seconds), edges, 0, 2});
  }
  if (!settings.keep) {
    std::error_code ignored;
    for (const char* file : {"run0.json", "run1.json", "run.err"})
      fs::remove(directory / file, ignored);
    fs::remove(plain, ignored);
    fs::remove(gzip, ignored);
    fs::remove(shuffled, ignored);
  }
  return result;
}

// ---- Printing ---------------------------------------------------------------------------------

std::string formatTime(double seconds) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(3);
  if (seconds >= 1)
    text << seconds << " s";
  else if (seconds >= 1e-3)
    text << seconds * 1e3 << " ms";
  else
    text << seconds * 1e6 << " us";
  return text.str();
}

std::string formatNumber(double value, int precision) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(precision) << value;
  return text.str();
}

std::string pad(const std::string& text, std::size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string fill(width - text.size(), ' ');
  return right ? fill + text : text + fill;
}

void printTable(const std::vector<SizeResult>& results, const Settings& settings) {
  std::ostream& out = std::cout;
  const MorvaBench::DesignOptions& design = settings.design;
  out << "Morva stage benchmark: seed " << design.seed << ", " << design.clocks
      << " clock(s), depth " << design.depth << ", fan-in " << design.fanin << ", loops "
      << (design.loops ? "on" : "off") << ", best of up to " << settings.repetitions
      << " runs for stages under 1 s\n";
  const std::vector<std::size_t> widths{34, 12, 10, 10, 10, 9, 4};
  const auto line = [&] {
    for (std::size_t width : widths) out << '+' << std::string(width + 2, '-');
    out << "+\n";
  };
  const auto cells = [&](const std::vector<std::string>& texts) {
    for (std::size_t column = 0; column < widths.size(); ++column)
      out << "| " << pad(texts[column], widths[column], column > 0) << ' ';
    out << "|\n";
  };
  for (const SizeResult& result : results) {
    out << '\n'
        << "Design of " << result.target << " edges: " << result.design.edges << " edges and "
        << result.design.poles << " poles written (" << result.loadedEdges << " edges, "
        << result.loadedPoles << " poles loaded), " << result.design.registers << " registers, "
        << result.design.loops << " loops; plain "
        << formatNumber(static_cast<double>(result.design.textBytes) / 1e6, 1) << " MB, gzip "
        << formatNumber(static_cast<double>(result.gzipBytes) / 1e6, 1) << " MB\n"
        << "  " << result.domains << " domains, " << result.subdomains << " subdomains, "
        << result.routes << " routes; largest subdomain " << result.largest << ": "
        << result.coneEdges << " cone edges (baseline " << result.baselineEdges << " edges, "
        << result.droppedEdges << " loop-closing edges left out)\n";
    if (!result.console.empty()) out << "  console:" << result.console << '\n';
    if (!result.failure.empty()) out << "  FAILED: " << result.failure << '\n';
    line();
    cells({"stage", "time", "edges", "ns/edge", "Medges/s", "MB/s", "runs"});
    line();
    for (const Row& row : result.rows) {
      const double rate = row.seconds > 0 ? static_cast<double>(row.edges) / row.seconds / 1e6 : 0;
      cells({row.stage, formatTime(row.seconds), std::to_string(row.edges),
             formatNumber(row.nsPerEdge(), 1), formatNumber(rate, 3),
             row.megabytes > 0 ? formatNumber(row.megabytes / row.seconds, 1) : "",
             std::to_string(row.samples)});
    }
    line();
    out << "  (clock + arrival + required of the largest subdomain) / (baseline forward + backward)"
           " = "
        << formatNumber(result.ratio, 1) << '\n';
    if (result.ran) {
      const auto peak = [&result](const MorvaBench::Measured& run) {
        return formatNumber(static_cast<double>(run.peakBytes) / 1048576.0, 1) + " MiB = " +
               formatNumber(
                   static_cast<double>(run.peakBytes) / static_cast<double>(result.design.edges),
                   0) +
               " bytes/edge";
      };
      out << "  morva run: " << formatTime(result.morva.seconds) << ", peak RSS "
          << peak(result.morva) << "\n  morva --json runs: " << formatTime(result.json[0].seconds)
          << " and " << formatTime(result.json[1].seconds) << ", peak RSS "
          << peak(result.json[0].peakBytes > result.json[1].peakBytes ? result.json[0]
                                                                      : result.json[1])
          << "; JSON outputs " << (result.identical ? "identical" : "DIFFERENT") << '\n';
    }
  }

  // ns/edge of every stage by size, with the growth from the smallest size
  // to the largest: 1.0 is linear scaling.
  if (results.size() < 2) return;
  out << "\nns/edge by size, and the factor from " << results.front().target << " to "
      << results.back().target << " edges (1.0 = linear)\n";
  std::vector<std::size_t> columns{34};
  for (std::size_t index = 0; index < results.size(); ++index) columns.push_back(10);
  columns.push_back(8);
  const auto rule = [&] {
    for (std::size_t width : columns) out << '+' << std::string(width + 2, '-');
    out << "+\n";
  };
  rule();
  out << "| " << pad("stage", columns[0], false) << ' ';
  for (const SizeResult& result : results)
    out << "| " << pad(std::to_string(result.target), 10, true) << ' ';
  out << "| " << pad("factor", 8, true) << " |\n";
  rule();
  for (const Row& row : results.front().rows) {
    out << "| " << pad(row.stage, columns[0], false) << ' ';
    for (const SizeResult& result : results) {
      const Row* found = result.find(row.stage);
      out << "| " << pad(found ? formatNumber(found->nsPerEdge(), 1) : "-", 10, true) << ' ';
    }
    const Row* last = results.back().find(row.stage);
    const std::string factor =
        last && row.nsPerEdge() > 0 ? formatNumber(last->nsPerEdge() / row.nsPerEdge(), 2) : "-";
    out << "| " << pad(factor, 8, true) << " |\n";
  }
  rule();
}

std::string findMorva() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path sibling = self.parent_path().parent_path() / "src" / "tools" / "morva";
    if (fs::exists(sibling, error)) return sibling.string();
  }
#ifdef MORVA_TOOL
  return MORVA_TOOL;
#else
  return "morva";
#endif
}

// ---- A workload that is not the generator's ---------------------------------------------

// Runs morva with `arguments` on the workload file `input` (removed
// afterwards unless kept) and gives `what` followed by its time and peak
// memory.
std::string runWorkload(const Settings& settings, const fs::path& directory,
                        std::vector<std::string> arguments, const std::string& input,
                        const std::string& what) {
  const std::string err = (directory / "workload.err").string();
  arguments.insert(arguments.begin(), settings.morva);
  arguments.push_back(input);
  const MorvaBench::Measured measured = MorvaBench::runMeasured(arguments, "/dev/null", err);
  std::error_code ignored;
  fs::remove(err, ignored);
  if (!settings.keep) fs::remove(input, ignored);
  std::ostringstream line;
  line << what << ": morva run " << formatTime(measured.seconds) << ", peak RSS "
       << formatNumber(static_cast<double>(measured.peakBytes) / (1 << 20), 1) << " MiB";
  if (measured.status != 0) line << ", exit status " << measured.status;
  return line.str();
}

// Copies of the largest ISCAS'89 circuit, each with its signals renamed
// (prefix "cN_"), joined into one netlist that morva reads with its unit
// gate delays and one clock of 10 ns for all flip-flops. Gives the line to
// print, or why there is none.
std::string runCircuitCopies(const Settings& settings, const fs::path& directory) {
  constexpr int kCopies = 14;
  const fs::path source = fs::path(MORVA_BENCHMARK_DATA) / "iscas89" / "s38584.bench";
  std::ifstream input(source);
  if (!input) return "ISCAS'89 workload skipped: cannot read " + source.string();
  // The circuit's lines cut into pieces, each marked when it names a
  // signal: a word not followed by "(" (gate types and INPUT/OUTPUT are).
  std::vector<std::pair<std::string, bool>> pieces;
  for (std::string line; std::getline(input, line);) {
    if (line.starts_with('#')) continue;
    for (std::size_t at = 0; at < line.size();) {
      std::size_t end = at;
      while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) ||
                                   line[end] == '_' || line[end] == '.'))
        ++end;
      if (end == at) {
        pieces.emplace_back(std::string(1, line[at]), false);
        ++at;
        continue;
      }
      std::size_t next = end;
      while (next < line.size() && line[next] == ' ') ++next;
      pieces.emplace_back(line.substr(at, end - at), next >= line.size() || line[next] != '(');
      at = end;
    }
    pieces.emplace_back("\n", false);
  }
  const std::string netlist = (directory / "s38584-copies.bench").string();
  {
    std::ofstream output(netlist);
    for (int copy = 0; copy < kCopies; ++copy) {
      const std::string prefix = "c" + std::to_string(copy) + "_";
      for (const auto& [text, signal] : pieces) output << (signal ? prefix : "") << text;
    }
  }
  progress("ISCAS'89 workload: morva run");
  return runWorkload(settings, directory, {"--period", "10000"}, netlist,
                     std::to_string(kCopies) +
                         " renamed copies of ISCAS'89 s38584 as one .bench netlist (unit delays, "
                         "--period 10000)");
}

// ---- Many constrained paths -------------------------------------------------------------

// The design of 10^4 edges with `count` false paths added, each from a
// random register clock pin (r<i>/CK) through a random gate output (<g>/Y),
// run by morva. Gives the line to print.
std::string runFalsePaths(const Settings& settings, const fs::path& directory, unsigned count) {
  MorvaBench::DesignOptions options = settings.design;
  options.edges = 10000;
  const std::string design = (directory / "false-paths.morva").string();
  MorvaBench::DesignWriter(options).writeFile(design, false);
  std::vector<std::string> clockPins;
  std::vector<std::string> gateOutputs;
  {
    std::ifstream input(design);
    for (std::string line; std::getline(input, line);) {
      if (!line.starts_with("POLE ")) continue;
      const std::string name = line.substr(5, line.find(' ', 5) - 5);
      if (name.ends_with("/CK")) clockPins.push_back(name);
      if (name.ends_with("/Y")) gateOutputs.push_back(name);
    }
  }
  if (clockPins.empty() || gateOutputs.empty()) return "False-path workload skipped: no pins";
  {
    std::ofstream output(design, std::ios::app);
    std::mt19937_64 random(settings.design.seed);
    for (unsigned path = 0; path < count; ++path)
      output << "FALSE_PATH -from " << clockPins[random() % clockPins.size()] << " -through "
             << gateOutputs[random() % gateOutputs.size()] << '\n';
  }
  progress(std::to_string(count) + " false paths: morva run");
  return runWorkload(settings, directory, {"-q"}, design,
                     std::to_string(count) +
                         " false paths (-from a random register clock pin -through a random "
                         "gate) on the 10^4-edge design");
}

}  // namespace

int main(int argc, char** argv) {
  if (MorvaBench::isLauncher(argc, argv)) return MorvaBench::runLauncher(argc, argv);

  Settings settings;
  settings.design.clocks = 2;
  CLI::App app{
      "Times each stage of a Morva analysis on generated designs of several sizes, against a\n"
      "flat-array baseline of the propagation, and runs the morva command line on them.",
      "morva-bench"};
  app.add_option("--sizes", settings.sizes, "Design sizes in edges")
      ->delimiter(',')
      ->capture_default_str()
      ->check(CLI::Range(100ULL, 100000000ULL));
  app.add_option("--repetitions,-r", settings.repetitions, "Runs of a stage under 1 s (best kept)")
      ->capture_default_str()
      ->check(CLI::Range(1U, 100U));
  app.add_option("--seed", settings.design.seed, "Seed of the designs")->capture_default_str();
  app.add_option("--clocks", settings.design.clocks, "Clocks of the designs")
      ->capture_default_str()
      ->check(CLI::Range(1U, 4U));
  app.add_option("--depth", settings.design.depth, "Gate levels between registers")
      ->capture_default_str()
      ->check(CLI::Range(1U, 100U));
  app.add_option("--fanin", settings.design.fanin, "Mean gate fan-in")
      ->capture_default_str()
      ->check(CLI::Range(1U, 12U));
  app.add_flag("--loops", settings.design.loops, "Add combinational loops");
  app.add_option("--morva", settings.morva, "The morva command line (default: the build tree's)");
  app.add_option("--dir", settings.directory, "Where the temporary directory goes")
      ->capture_default_str();
  app.add_flag("--keep", settings.keep, "Keep the designs and JSON outputs");
  app.add_option("--false-paths", settings.falsePaths,
                 "False-path counts of the 10^4-edge workload (0: none)")
      ->delimiter(',')
      ->capture_default_str();
  bool noMorva = false;
  app.add_flag("--no-morva", noMorva, "Skip the morva subprocess runs");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version end with status 0, usage errors with 2.
    return app.exit(error) == 0 ? 0 : 2;
  }
  settings.subprocess = !noMorva;
  if (settings.morva.empty()) settings.morva = findMorva();
  if (settings.subprocess && access(settings.morva.c_str(), X_OK) != 0) {
    std::cerr << "morva-bench: cannot run " << settings.morva << " (use --morva PATH)\n";
    return 2;
  }
  if (settings.directory.empty()) {
    const char* temporary = std::getenv("TMPDIR");
    settings.directory = temporary && *temporary ? temporary : "/tmp";
  }
  std::string pattern = (fs::path(settings.directory) / "morva-bench.XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::cerr << "morva-bench: cannot create a directory in " << settings.directory << ": "
              << std::strerror(errno) << '\n';
    return 2;
  }
  const fs::path directory(pattern);

  // Library console lines go to a buffer of this program, never to the
  // terminal; errors and warnings are summed up under each design.
  Orvek::console.setProgress(true);
  std::vector<SizeResult> results;
  int status = 0;
  const auto start = Clock::now();
  try {
    for (std::uint64_t size : settings.sizes) {
      results.push_back(runSize(settings, size, directory));
      if (!results.back().failure.empty() || (results.back().ran && !results.back().identical))
        status = 1;
    }
  } catch (const std::exception& error) {
    std::cerr << "morva-bench: " << error.what() << '\n';
    status = 2;
  }
  printTable(results, settings);
  if (settings.subprocess && status != 2) {
    std::cout << '\n' << runCircuitCopies(settings, directory) << '\n';
    for (const unsigned count : settings.falsePaths)
      if (count > 0) std::cout << runFalsePaths(settings, directory, count) << '\n';
  }
  std::cout << "\nTotal " << formatTime(secondsSince(start)) << "; designs in "
            << directory.string() << (settings.keep ? " (kept)" : " (removed)") << '\n';
  if (!settings.keep) {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
  return status;
}
