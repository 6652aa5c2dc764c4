// Archives and designs built to hurt: extreme fan-in and fan-out, a thousand
// clocks, one big combinational loop, huge names and lines, binary garbage, a
// gzip bomb, delays at the edges of their range, everything declared twice
// and chains of a million poles. Each either gives the correct result or
// stops with the clear error of the library, never a crash.

#include <Morva/Archive.h>
#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <functional>

namespace {

namespace fs = std::filesystem;
using Morva::analyzer;
using Morva::Archive;
using Morva::Pole;
using Morva::Route;
using Morva::Subdomain;

// The sanitizer build runs an order of magnitude slower: the largest designs
// shrink there, keeping their shape.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A register on clock pole `clock`: its clock pin, data pin and output pin,
// the setup/hold check and the clock-to-output arc.
std::string getRegister(const std::string& name, const std::string& clock) {
  return "POLE " + name + "/CK Rising None\nPOLE " + name + "/D None None\nPOLE " + name +
         "/Q None None\nEDGE " + clock + " " + name + "/CK Interconnect 1 1\nEDGE " + name + "/D " +
         name + "/CK SetupHold 1 1\nEDGE " + name + "/CK " + name + "/Q IOPath 1 1\n";
}

std::string getEdge(const std::string& source, const std::string& target, long minimum,
                    long maximum) {
  return "EDGE " + source + " " + target + " Interconnect " + std::to_string(minimum) + " " +
         std::to_string(maximum) + "\n";
}

// A peak memory figure of this process in kilobytes ("VmHWM" or "VmRSS").
long getMemory(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// The message of the Orvek exception that `work` throws, or "none".
std::string getFailure(const std::function<void()>& work) {
  try {
    work();
  } catch (const Orvek::Exception& exception) {
    return exception.getMessage();
  }
  return "none";
}

const Route* getWorst(const Subdomain* subdomain, bool longest) {
  const auto& routes = longest ? subdomain->getLongestRouteSet() : subdomain->getShortestRouteSet();
  return routes.empty() ? nullptr : *routes.begin();
}

class HostileInputTest : public Support::AnalyzerFixture {
 protected:
  std::string write(const std::string& name, const std::string& text) const {
    return _directory.writeFile(name, text);
  }
  void load(const std::string& text) { Archive(write("design.morva", text)).load(); }

  // A fresh analyzer and console for the next design of the same test.
  void renew() {
    analyzer->destroy();
    Morva::Analyzer::create();
    _console.clear();
  }

  bool printed(const std::string& text) const { return Support::contains(_console.text(), text); }
  long count(const std::string& text) const { return Support::occurrences(_console.text(), text); }

  static Pole* main(const std::string& name) { return analyzer->getMainPole(name); }
  static Subdomain* getOnlySubdomain(Pole* launch, Pole* latch) {
    Morva::Domain* domain = analyzer->getDomain(launch, latch);
    if (!domain || domain->getSubdomainSet().size() != 1) return nullptr;
    return *domain->getSubdomainSet().begin();
  }

  Support::ConsoleCapture _console;
  Support::TempDir _directory{"morva-hostile"};
};

TEST_F(HostileInputTest, HundredThousandFanInAndFanOut) {
  // r/D is driven by 100000 inputs, r/Q drives 100000 outputs; input k and
  // output k have the delay k, so the extremes are known.
  const long count = 100000;
  std::string text = "POLE clk None Primary\n" + getRegister("r", "clk");
  text.reserve(static_cast<std::size_t>(count) * 110);
  for (long k = 1; k <= count; ++k) {
    const std::string index = std::to_string(k);
    text += "POLE i" + index + " None Primary\nPOLE o" + index + " None Primary\n";
    text += getEdge("i" + index, "r/D", k, k) + getEdge("r/Q", "o" + index, k, k);
  }
  text += "CREATE_CLOCK clk c -period 1000 -rising 0 -falling 500\n";
  load(text);
  EXPECT_EQ(main("r/D")->getIncomingEdgeSet().size(), static_cast<std::size_t>(count));
  EXPECT_EQ(main("r/Q")->getOutgoingEdgeSet().size(), static_cast<std::size_t>(count));

  analyzer->analyze();
  Pole* clock = main("clk");
  const Subdomain* fanIn = getOnlySubdomain(nullptr, clock);
  const Subdomain* fanOut = getOnlySubdomain(clock, nullptr);
  ASSERT_NE(fanIn, nullptr);
  ASSERT_NE(fanOut, nullptr);
  // The searches keep their 50 most critical routes out of 100000.
  EXPECT_EQ(fanIn->getLongestRouteSet().size(), 50u);
  EXPECT_EQ(fanIn->getShortestRouteSet().size(), 50u);
  EXPECT_EQ(fanOut->getLongestRouteSet().size(), 50u);
  EXPECT_EQ(fanOut->getShortestRouteSet().size(), 50u);
  ASSERT_NE(getWorst(fanIn, true), nullptr);
  EXPECT_EQ(getWorst(fanIn, true)->getSource()->getName(), "i100000");
  EXPECT_EQ(getWorst(fanIn, true)->getDataDelay(), Morva::Delay(100000));
  EXPECT_EQ(getWorst(fanIn, false)->getSource()->getName(), "i1");
  EXPECT_EQ(getWorst(fanOut, true)->getTarget()->getName(), "o100000");
  EXPECT_EQ(getWorst(fanOut, false)->getTarget()->getName(), "o1");
  EXPECT_EQ(fanIn->getLAT(), Morva::Delay(100000));
}

TEST_F(HostileInputTest, ThousandClocksEachWithItsOwnRegisters) {
  // Clock k drives registers a<k> and b<k>; a<k> to b<k> takes k + 3 (with
  // the clock-to-output arc), b<k> back to a<k> takes 2.
  const long clocks = 1000;
  std::string text;
  for (long k = 0; k < clocks; ++k) {
    const std::string index = std::to_string(k);
    const std::string clock = "ck" + index;
    text += "POLE " + clock + " None Primary\n" + getRegister("a" + index, clock) +
            getRegister("b" + index, clock) +
            getEdge("a" + index + "/Q", "b" + index + "/D", 1, k + 2) +
            getEdge("b" + index + "/Q", "a" + index + "/D", 1, 1) + "CREATE_CLOCK " + clock +
            " clk" + index + " -period " + std::to_string(10000 + k) + " -rising 0 -falling 5000\n";
  }
  load(text);
  EXPECT_EQ(analyzer->getClockNameMap().size(), static_cast<std::size_t>(clocks));

  analyzer->analyze();
  EXPECT_EQ(analyzer->getDomainSet().size(), static_cast<std::size_t>(clocks));
  for (long k = 0; k < clocks; ++k) {
    SCOPED_TRACE(k);
    Pole* clock = main("ck" + std::to_string(k));
    const Subdomain* subdomain = getOnlySubdomain(clock, clock);
    ASSERT_NE(subdomain, nullptr);
    ASSERT_EQ(subdomain->getLongestRouteSet().size(), 2u);
    const Route* worst = getWorst(subdomain, true);
    EXPECT_EQ(worst->getSource()->getName(), "a" + std::to_string(k) + "/CK");
    EXPECT_EQ(worst->getDataDelay(), Morva::Delay(static_cast<int>(k + 3)));
    EXPECT_EQ(analyzer->getPeriod(clock), Morva::Delay(static_cast<int>(k + 4)));
  }
}

TEST_F(HostileInputTest, OneBigCombinationalLoop) {
  // A ring of poles with one input and one output on it: the loop is
  // reported once, the route from the input around to the output is found.
  const long length = kSanitized ? 20000 : 100000;
  const std::string last = "p" + std::to_string(length - 1);
  std::string ring;
  for (long k = 0; k < length; ++k) ring += "POLE p" + std::to_string(k) + " None None\n";
  for (long k = 1; k < length; ++k)
    ring += "EDGE p" + std::to_string(k - 1) + " p" + std::to_string(k) + " IOPath 1 1\n";
  ring += "EDGE " + last + " p0 IOPath 1 1\n";
  load("POLE in None Primary\nPOLE out None Primary\n" + ring + getEdge("in", "p0", 1, 1) +
       getEdge(last, "out", 1, 1));
  analyzer->analyze();
  EXPECT_EQ(count("1 combinatorial loop detected during data domain analysis."), 1);
  const Subdomain* subdomain = getOnlySubdomain(nullptr, nullptr);
  ASSERT_NE(subdomain, nullptr);
  const Route* route = getWorst(subdomain, true);
  ASSERT_NE(route, nullptr);
  EXPECT_EQ(route->getSource()->getName(), "in");
  EXPECT_EQ(route->getTarget()->getName(), "out");
  EXPECT_EQ(route->getEdgeList().size(), static_cast<std::size_t>(length + 1));
  EXPECT_EQ(route->getDataDelay(), Morva::Delay(static_cast<int>(length + 1)));

  // The ring alone has nothing to time.
  renew();
  load(ring);
  analyzer->analyze();
  EXPECT_TRUE(printed("Analyzer not launched"));

  // A loop in the clock tree is reported by the clock scan, and the register
  // behind it is still timed.
  renew();
  load("POLE clk None Primary\nPOLE b0 None None\nPOLE b1 None None\n" +
       getEdge("clk", "b0", 1, 1) + getEdge("b0", "b1", 1, 1) + getEdge("b1", "b0", 1, 1) +
       getRegister("r", "b1") + getEdge("r/Q", "r/D", 1, 1) +
       "CREATE_CLOCK clk c -period 100 -rising 0 -falling 50\n");
  analyzer->analyze();
  EXPECT_EQ(count("1 combinatorial loop detected during clock paths analysis."), 1);
  ASSERT_NE(getOnlySubdomain(main("clk"), main("clk")), nullptr);
  EXPECT_EQ(getOnlySubdomain(main("clk"), main("clk"))->getLongestRouteSet().size(), 1u);
}

TEST_F(HostileInputTest, HugeNamesAndLines) {
  // A name of 10000 characters cannot pass through the archive's 2047
  // character pieces: the line becomes five pieces, each reported, and
  // nothing is created. The line numbers go on counting pieces.
  const std::string name(10000, 'n');
  load("POLE " + name + " None Primary\nPOLE ok None None\nBOGUS\n");
  EXPECT_EQ(count("Syntax error (line 1)"), 1);
  for (int line = 2; line <= 5; ++line)
    EXPECT_EQ(count(" (line " + std::to_string(line) + ")"), 1) << line;
  EXPECT_EQ(count("Unrecognized token "), 5);
  EXPECT_EQ(count("Unrecognized token BOGUS (line 7)"), 1);
  EXPECT_EQ(analyzer->getPoles().getCount(), 1u);
  ASSERT_NE(main("ok"), nullptr);

  // Through the calls, the same name is a pole like any other and the
  // route report prints it whole.
  renew();
  Pole* input = Pole::createMain(name);
  input->setType(Morva::Type(Morva::Type::Primary));
  Pole* output = Pole::createMain("out");
  output->setType(Morva::Type(Morva::Type::Primary));
  Morva::Edge* edge =
      Morva::Edge::create(input, output, Morva::Purpose(Morva::Purpose::Interconnect));
  edge->setMinimumDelay(Morva::Delay(3));
  edge->setMaximumDelay(Morva::Delay(4));
  analyzer->analyze();
  Morva::Domain* domain = analyzer->getDomain(nullptr, nullptr);
  ASSERT_NE(domain, nullptr);
  domain->reportLongestRoutes(false);
  EXPECT_TRUE(printed("| " + name + " |"));

  // Lines of a million characters: blanks are skipped, 'x's give one
  // unrecognized token per piece of 2047 characters (1000001 characters
  // with the newline make 489 pieces).
  renew();
  const std::string blanks(1000000, ' ');
  const std::string letters(1000000, 'x');
  load(blanks + "\n" + letters + "\nBOGUS\n");
  EXPECT_EQ(count("Unrecognized token "), 490);
  EXPECT_EQ(count("Unrecognized token " + std::string(2047, 'x') + " (line 490)"), 1);
  EXPECT_EQ(count("Unrecognized token BOGUS (line 979)"), 1);
}

TEST_F(HostileInputTest, BinaryGarbage) {
  // A megabyte of bytes from a seeded generator: every line is an unknown
  // keyword, nothing is created and the analysis has nothing to do.
  std::mt19937 generator(20240611);
  std::string garbage(1 << 20, '\0');
  for (char& byte : garbage) byte = static_cast<char>(generator() & 0xff);
  garbage[0] = 'B';
  EXPECT_EQ(getFailure([&] { Archive(write("garbage.bin", garbage)).load(); }), "none");
  EXPECT_TRUE(printed("Unrecognized token "));
  EXPECT_EQ(analyzer->getPoles().getCount(), 0u);
  analyzer->analyze();
  EXPECT_TRUE(printed("Analyzer not launched"));

  // Behind the gzip magic, the same garbage is a corrupt compressed file.
  renew();
  garbage.replace(0, 4, "\x1f\x8b\x08\x00", 4);
  const std::string path = write("garbage.gz", garbage);
  EXPECT_EQ(getFailure([&] { Archive(path).load(); }), "Cannot read file " + path);
  EXPECT_TRUE(printed("Loading archive failed in"));

  // A compressed archive cut in the middle: its readable lines are loaded,
  // then the load fails.
  renew();
  std::string poles;
  for (int k = 0; k < 20000; ++k) poles += "POLE p" + std::to_string(k) + " None None\n";
  const std::string packed = Support::gzip(poles);
  const std::string cut = write("cut.morva.gz", packed.substr(0, packed.size() / 2));
  EXPECT_EQ(getFailure([&] { Archive(cut).load(); }), "Cannot read file " + cut);
  EXPECT_GT(analyzer->getPoles().getCount(), 0u);
  EXPECT_LT(analyzer->getPoles().getCount(), 20000u);
}

TEST_F(HostileInputTest, GzipBombIsStreamed) {
  // One gigabyte of blank and comment lines in about a megabyte: the same
  // compressed member of 1 MiB written 1024 times (zlib reads concatenated
  // members as one stream), then one bad line to prove the end was reached.
  std::string chunk;
  for (int line = 0; line < 512; ++line)
    chunk += std::string(1023, line % 2 ? ' ' : '\t') + "\n" + "#" + std::string(1022, '-') + "\n";
  ASSERT_EQ(chunk.size(), 1u << 20);
  const std::string member = Support::gzip(chunk);
  const std::string path = (_directory.path() / "bomb.morva.gz").string();
  {
    std::ofstream bomb(path, std::ios::binary);
    for (int copy = 0; copy < 1024; ++copy) bomb << member;
    bomb << Support::gzip("BOGUS\n");
  }
  EXPECT_LT(fs::file_size(path), 4u << 20);

  // The peak resident size is reset (where the kernel allows it) and must
  // stay far below the gigabyte that buffering the text would take.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = getMemory("VmRSS");
  Archive(path).load();
  const long peak = getMemory("VmHWM");
  ASSERT_GT(before, 0);
  EXPECT_LT(peak - before, 64L * 1024) << "peak " << peak << " kB, before " << before << " kB";
  EXPECT_EQ(count("Unrecognized token BOGUS (line 1048577)"), 1);
  EXPECT_EQ(count("Error: "), 1);
}

TEST_F(HostileInputTest, DelaysAtTheEdgesOfTheRange) {
  // The texts at and just past the 32-bit limits.
  load("POLE a None None\nPOLE b None None\nPOLE c None None\n" +
       getEdge("a", "b", -2147483647, 2147483647) +
       "EDGE b c Interconnect -2147483648 2147483648\n");
  const Morva::Edge* extreme = *main("a")->getOutgoingEdgeSet().begin();
  EXPECT_EQ(extreme->getMinimumDelay(), Morva::Delay::getMinimum());
  EXPECT_EQ(extreme->getMaximumDelay(), Morva::Delay::getMaximum());
  const Morva::Edge* beyond = *main("b")->getOutgoingEdgeSet().begin();
  EXPECT_EQ(beyond->getMinimumDelay(), Morva::Delay::getUndefined());
  EXPECT_EQ(beyond->getMaximumDelay(), Morva::Delay::getUndefined());

  // An input path of two edges into a register: a sum that stays inside the
  // range is exact, one past the top or the bottom stops the analysis with
  // the bounded arithmetic's own error.
  const auto design = [](long first, long second) {
    return "POLE clk None Primary\nPOLE in None Primary\nPOLE a None None\n" +
           getRegister("r", "clk") + getEdge("in", "a", first, first) +
           getEdge("a", "r/D", second, second) +
           "CREATE_CLOCK clk c -period 1000 -rising 0 -falling 500\n";
  };
  renew();
  load(design(2147480000, 2000));
  analyzer->analyze();
  const Subdomain* subdomain = getOnlySubdomain(nullptr, main("clk"));
  ASSERT_NE(subdomain, nullptr);
  ASSERT_NE(getWorst(subdomain, true), nullptr);
  EXPECT_EQ(getWorst(subdomain, true)->getDataDelay(), Morva::Delay(2147482000));

  renew();
  load(design(2147483000, 2000));
  EXPECT_EQ(getFailure([] { analyzer->analyze(); }), "Delay overflow");
  renew();
  load(design(-2147483000, -2000));
  EXPECT_EQ(getFailure([] { analyzer->analyze(); }), "Delay underflow");

  // The longest period there is gives a report, not a failure.
  renew();
  load("POLE clk None Primary\n" + getRegister("r", "clk") + getEdge("r/Q", "r/D", 1, 1) +
       "CREATE_CLOCK clk c -period 2147483646 -rising 0 -falling 1073741823\n");
  EXPECT_EQ(getFailure([] { analyzer->analyze(); }), "none");
  EXPECT_NE(getOnlySubdomain(main("clk"), main("clk")), nullptr);
}

TEST_F(HostileInputTest, EverythingDeclaredTwice) {
  // Every record but the poles written twice: parallel edges, a clock, paths
  // and groups declared again give the same domain report as the archive
  // itself.
  for (const char* example : {"pipeline", "exceptions", "two_clocks"}) {
    SCOPED_TRACE(example);
    std::ifstream file(std::string(MORVA_EXAMPLES "/") + example + ".morva");
    std::string once;
    std::string twice;
    for (std::string line; std::getline(file, line);) {
      once += line + "\n";
      twice += line + "\n";
      if (!line.empty() && line[0] >= 'A' && line[0] <= 'Z' && line.rfind("POLE", 0) != 0)
        twice += line + "\n";
    }
    renew();
    load(once);
    analyzer->analyze();
    const std::size_t edges = analyzer->getEdges().getCount();
    const std::string single = _console.text();
    const std::string report = single.substr(single.find("Reporting domains"));

    renew();
    load(twice);
    EXPECT_EQ(analyzer->getEdges().getCount(), 2 * edges);
    analyzer->analyze();
    const std::string doubled = _console.text();
    EXPECT_EQ(doubled.substr(doubled.find("Reporting domains")), report);
  }

  // An input delay declared twice is refused on the second line.
  renew();
  EXPECT_EQ(getFailure([&] {
              load(
                  "POLE clk None Primary\nPOLE in None Primary\n"
                  "SET_INPUT_DELAY -clock clk -max 3 -port in\n"
                  "SET_INPUT_DELAY -clock clk -max 3 -port in\n");
            }),
            "Input delay already exists");

  // The same archive loaded twice stops at its first pole, and what the
  // first load built stays whole and analysable.
  renew();
  const std::string pipeline = MORVA_EXAMPLES "/pipeline.morva";
  Archive(pipeline).load();
  const std::size_t poles = analyzer->getPoles().getCount();
  EXPECT_EQ(getFailure([&] { Archive(pipeline).load(); }), "Already exists");
  EXPECT_TRUE(printed("Loading archive failed in"));
  EXPECT_EQ(analyzer->getPoles().getCount(), poles);
  analyzer->analyze();
  ASSERT_NE(getOnlySubdomain(main("clk"), main("clk")), nullptr);
  EXPECT_FALSE(getOnlySubdomain(main("clk"), main("clk"))->getLongestRouteSet().empty());
}

// Chains far deeper than a recursive walk could follow, through every walk
// of the analysis: the clock scan (a deep clock network), the data scan, the
// constraint walk, the colouring, the propagation passes, the route search
// and the slack and weight tagging. Register a launches through the chain
// into register b, which feeds a back: a cycle through registers, no loop.
struct Chain {
  const char* name;
  long clock;  // buffers between the clock port and a's clock pin
  long data;   // poles between a's output and b's data pin
  bool multicycle;
  friend void PrintTo(const Chain& chain, std::ostream* stream) { *stream << chain.name; }
};

class DeepChainTest : public HostileInputTest, public ::testing::WithParamInterface<Chain> {};

TEST_P(DeepChainTest, IsWalkedWithoutRecursion) {
  const Chain chain = GetParam();
  const long clockLength = kSanitized ? chain.clock / 10 : chain.clock;
  const long dataLength = kSanitized ? chain.data / 10 : chain.data;
  Pole* clk = Support::clock("c");
  Pole* buffer = clk;
  for (long k = 0; k < clockLength; ++k) {
    Pole* next = Pole::createMain("c" + std::to_string(k));
    Support::edge(buffer, next, 1, 2);
    buffer = next;
  }
  Pole* aClock = Support::pin("a/CK", Morva::Mode::Rising);
  Pole* bClock = Support::pin("b/CK", Morva::Mode::Rising);
  Pole* aCapture = Pole::createDual("a/CK");
  Pole* bCapture = Pole::createDual("b/CK");
  Pole* aOutput = Pole::createMain("a/Q");
  Pole* bOutput = Pole::createMain("b/Q");
  Support::edge(buffer, aClock, 0, 0);
  Support::edge(clk, bClock, 0, 0);
  Support::edge(aClock, aOutput, 1, 1, Morva::Purpose::IOPath);
  Support::edge(bClock, bOutput, 1, 1, Morva::Purpose::IOPath);
  Support::edge(bOutput, aCapture, 1, 1, Morva::Purpose::SetupHold);
  Pole* previous = aOutput;
  Morva::Edge* first = nullptr;
  for (long k = 0; k < dataLength; ++k) {
    Pole* next = Pole::createMain("d" + std::to_string(k));
    Morva::Edge* edge = Support::edge(previous, next, 1, 2);
    if (!first) first = edge;
    previous = next;
  }
  Support::edge(previous, bCapture, 0, 0, Morva::Purpose::SetupHold);
  std::vector<Pole*> sources{aClock}, targets{bCapture};
  Morva::MPath* path = nullptr;
  if (chain.multicycle)
    path = Morva::MPath::create(Orvek::VectorCollection<Pole*>(sources), Morva::Poles(),
                                Orvek::VectorCollection<Pole*>(targets), 2);

  analyzer->createDomains();
  analyzer->colourizeEdges();
  analyzer->launch(analyzer->getDomains(), true, true, true, true, 1, Morva::Delay::getMaximum(),
                   Morva::Delay::getMaximum());
  EXPECT_FALSE(printed("combinatorial loop"));
  Subdomain* subdomain = getOnlySubdomain(clk, clk);
  ASSERT_NE(subdomain, nullptr);
  const Route* longest = getWorst(subdomain, true);
  ASSERT_NE(longest, nullptr);
  // Clock to output, the chain, the check.
  EXPECT_EQ(longest->getSource(), aClock);
  EXPECT_EQ(longest->getEdgeList().size(), static_cast<std::size_t>(dataLength + 2));
  EXPECT_EQ(longest->getDataDelay(), Morva::Delay(static_cast<int>(1 + 2 * dataLength)));
  EXPECT_EQ(longest->getLaunchDelay(), Morva::Delay(static_cast<int>(2 * clockLength)));
  EXPECT_EQ(getWorst(subdomain, false)->getSource(), bClock);
  EXPECT_EQ(first->getDomainMask(), subdomain->getDomain()->getMask());
  // The edge slack of a multicycle class extends by whole setup relations,
  // the route's by the longest arrival: they agree without the exception.
  if (!chain.multicycle) {
    EXPECT_EQ(first->getSlack(), longest->getSlack());
  }
  EXPECT_NE(first->getWeight(), 0u);
  EXPECT_EQ(subdomain->isMPathCritical(), chain.multicycle);
  if (path) {
    EXPECT_EQ(first->getMask(), path->getMask());
  }
}

INSTANTIATE_TEST_SUITE_P(Chains, DeepChainTest,
                         ::testing::Values(Chain{"DeepClockNetwork", 1000000, 10, false},
                                           Chain{"DeepDataPath", 10, 1000000, false},
                                           Chain{"DeepMulticyclePath", 100, 300000, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
