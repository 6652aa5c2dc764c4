#include <Morva/Delay.h>
#include <Morva/Frequency.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>
#include "Support.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Support::contains;
using Support::Outcome;
using Support::readFile;

using Row = std::vector<std::string>;

// The cells of the table rows of `output`, blanks trimmed; rule lines are
// left out.
std::vector<Row> getRows(const std::string& output) {
  std::vector<Row> rows;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (Row cells = Support::cellsOf(line); !cells.empty()) rows.push_back(cells);
  return rows;
}

// The rows of a table that hold data: neither headings nor the total.
std::vector<Row> getDataRows(const std::vector<Row>& rows) {
  std::vector<Row> data;
  for (const Row& row : rows)
    if (!row.empty() && !row[0].empty() && row[0] != "Domain" && row[0] != "Source" &&
        row[0] != "Slack" && row[0] != "Total")
      data.push_back(row);
  return data;
}

// The table printed right after the line `title`.
std::vector<Row> getTable(const std::string& output, const std::string& title) {
  std::istringstream lines(output);
  std::string table;
  bool found = false;
  for (std::string line; std::getline(lines, line);) {
    if (!found) {
      found = Support::trim(line) == title;
      continue;
    }
    const std::string text = Support::trim(line);
    if (text.empty() || (text[0] != '|' && text[0] != '+')) break;
    table += line + "\n";
  }
  return getRows(table);
}

// The label the reports give a JSON delay or frequency.
std::string delayLabel(const json& delay) {
  if (delay.is_string()) return delay.get<std::string>();
  return Morva::Delay(delay.get<int>())._getLabel();
}

std::string frequencyLabel(const json& frequency) {
  if (frequency.is_null()) return "-";
  return Morva::Frequency(frequency.get<unsigned long>())._getLabel();
}

const json* findSubdomain(const json& document, const std::string& name) {
  for (const json& domain : document.at("domains"))
    for (const json& subdomain : domain.at("subdomains"))
      if (subdomain.at("name") == name) return &subdomain;
  return nullptr;
}

const std::string kPipeline = std::string(MORVA_EXAMPLES) + "/pipeline.morva";

// Runs the morva tool in a scratch folder, its standard input empty unless
// the arguments redirect it.
class CommandLineTest : public Support::CommandFixture {
 protected:
  Outcome run(const std::string& arguments) const {
    return CommandFixture::run(MORVA_TOOL, "</dev/null " + arguments);
  }
};

const std::string kPoles = "POLE clk None Primary\nPOLE ff/CK Rising None\n";

// A register loop too slow for its 100 ps clock: its setup slack is
// negative, its hold slack is not.
const std::string kTooSlow =
    "POLE clk None Primary\n"
    "POLE ff/CK Rising None\n"
    "POLE ff/D None None\n"
    "POLE ff/Q None None\n"
    "EDGE clk ff/CK Interconnect 10 10\n"
    "EDGE ff/D ff/CK SetupHold 5 20\n"
    "EDGE ff/CK ff/Q IOPath 50 60\n"
    "EDGE ff/Q ff/D Interconnect 100 200\n"
    "CREATE_CLOCK clk -name sys -period 100 -rising 0 -falling 50\n";

// Delays whose sum leaves the range of a delay: the analysis fails.
const std::string kOverflow =
    "POLE clk None Primary\n"
    "POLE ff/CK Rising None\n"
    "POLE ff/D None None\n"
    "POLE ff/Q None None\n"
    "POLE a None None\n"
    "EDGE clk ff/CK Interconnect 10 20\n"
    "EDGE ff/D ff/CK SetupHold 7 8\n"
    "EDGE ff/CK ff/Q IOPath 2000000000 2000000000\n"
    "EDGE ff/Q a Interconnect 2000000000 2000000000\n"
    "EDGE a ff/D Interconnect 2000000000 2000000000\n"
    "CREATE_CLOCK clk -name sys -period 4000 -rising 0 -falling 2000\n";

TEST_F(CommandLineTest, HelpVersionAndUsageErrors) {
  const Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(contains(help.out, "Exit status"));
  const Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(contains(version.out, "morva 1."));

  const std::string pipeline = "'" + kPipeline + "' ";
  for (const std::string& arguments :
       {std::string(), "--frobnicate " + pipeline, "--setup-only --hold-only " + pipeline,
        "--no-routes --detail " + pipeline, "--no-routes --setup-only " + pipeline,
        "--weights " + pipeline, "-n 0 " + pipeline, "-n many " + pipeline, "-l 1.5ns " + pipeline,
        "-l 2147483647 " + pipeline, "-m -2147483648 " + pipeline, "--json " + pipeline}) {
    const Outcome bad = run(arguments);
    EXPECT_EQ(bad.status, 2) << arguments;
    EXPECT_FALSE(bad.err.empty()) << arguments;
    EXPECT_EQ(bad.out, "") << arguments;
  }
}

TEST_F(CommandLineTest, LoadFailuresExitWithStatusTwoAndStopThere) {
  const std::string good = write("good.morva", kPoles);
  const std::string bad = write("bad.morva", "CREATE_CLOCK clk -period 5\n");
  const Outcome failed = run("'" + good + "' '" + bad + "' '" + good + "'");
  EXPECT_EQ(failed.status, 2);
  EXPECT_TRUE(
      contains(failed.err, "morva: " + bad + ":1: Null name! (at lib/Morva/Analyzer:createClock:"))
      << failed.err;
  // The archive's own failure report ends the output: no later archive, no
  // analysis, no report.
  EXPECT_TRUE(contains(failed.out, "Loading archive failed in "));
  EXPECT_EQ(failed.out.find("Loading archive " + good),
            failed.out.rfind("Loading archive " + good));
  EXPECT_FALSE(contains(failed.out, "Creating domains"));
  EXPECT_FALSE(contains(failed.out, "Reporting"));

  // Console errors do not stop the load: with --lenient, they do not fail
  // the run either, and they are shown with the archive's name.
  const std::string odd = write("odd.morva", "POLE a\nNOTHING here\n");
  const Outcome warned = run("--lenient '" + odd + "'");
  EXPECT_EQ(warned.status, 0);
  EXPECT_TRUE(contains(warned.err, odd + ":1: Syntax error: POLE with 2 words\n"));
  EXPECT_TRUE(contains(warned.err, odd + ":2: Unrecognized token NOTHING\n"));
  EXPECT_FALSE(contains(warned.out, "Error:"));
  EXPECT_TRUE(contains(warned.out, "Reporting domains"));
}

TEST_F(CommandLineTest, AnalysisFailureStopsTheOutputAndLeavesNoJson) {
  const std::string archive = write("overflow.morva", kOverflow);
  const std::string output = (_directory.path() / "result.json").string();
  const Outcome failed = run("--json '" + output + "' '" + archive + "'");
  EXPECT_EQ(failed.status, 2);
  EXPECT_TRUE(contains(failed.err,
                       "morva: analysis of domain sys to sys: Delay overflow (at "
                       "lib/Morva/Delay:"))
      << failed.err;
  EXPECT_FALSE(contains(failed.out, "Reporting"));
  EXPECT_TRUE(failed.out.ends_with("Creating domains\n")) << failed.out;
  // Neither the result nor its temporary file is left.
  EXPECT_EQ(listDirectory(), std::vector<std::string>{"overflow.morva"});
}

TEST_F(CommandLineTest, ReportsOfTheExampleFollowTheOptions) {
  const std::string pipeline = "'" + kPipeline + "'";
  const Outcome full = run(pipeline);
  EXPECT_EQ(full.status, 0) << full.err;
  EXPECT_EQ(full.err, "");
  // The domain report, then for each domain its longest then its shortest
  // paths.
  const std::vector<std::string> order = {
      "Reporting domains",
      "Reporting longest paths for domain Input to clk:Rising",
      "Reporting shortest paths for domain Input to clk:Rising",
      "Reporting longest paths for domain clk:Rising to clk:Rising",
      "Reporting shortest paths for domain clk:Rising to clk:Rising",
      "Reporting longest paths for domain clk:Rising to Output",
      "Reporting shortest paths for domain clk:Rising to Output"};
  std::size_t previous = 0;
  for (const std::string& title : order) {
    const std::size_t at = full.out.find(title + "\n");
    ASSERT_NE(at, std::string::npos) << title;
    EXPECT_GT(at, previous) << title;
    previous = at;
  }
  const std::vector<Row> longest =
      getTable(full.out, "Reporting longest paths for domain clk:Rising to clk:Rising");
  ASSERT_EQ(longest.size(), 6u);  // heading, four paths, total
  EXPECT_EQ(longest[5], (Row{"Total", "4"}));

  const Outcome compact = run("--compact " + pipeline);
  EXPECT_EQ(compact.status, 0);
  const std::vector<Row> domains = getTable(compact.out, "Reporting domains");
  ASSERT_EQ(domains.size(), 3u);  // only the clock to clock domain
  EXPECT_EQ(domains[1], (Row{"Source", "Target", "Required", "Maximum", "Shortest", "Longest"}));
  EXPECT_EQ(getTable(compact.out, "Reporting longest paths for domain clk:Rising to clk:Rising")[0],
            (Row{"Slack", "Delay", "Skew", "Length", "Path"}));

  const Outcome setup = run("--setup-only -n 2 " + pipeline);
  EXPECT_TRUE(contains(setup.out, "Reporting longest paths"));
  EXPECT_FALSE(contains(setup.out, "Reporting shortest paths"));
  EXPECT_EQ(
      getTable(setup.out, "Reporting longest paths for domain clk:Rising to clk:Rising").back(),
      (Row{"Total", "2"}));

  const Outcome hold = run("--hold-only " + pipeline);
  EXPECT_FALSE(contains(hold.out, "Reporting longest paths"));
  EXPECT_TRUE(contains(hold.out, "Reporting shortest paths"));

  const Outcome none = run("--no-routes " + pipeline);
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(contains(none.out, "Reporting domains"));
  EXPECT_FALSE(contains(none.out, "paths for domain"));

  // Quiet: the same tables, no progress lines, one title line per table.
  const Outcome quiet = run("-q " + pipeline);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_FALSE(contains(quiet.out, "Loading archive"));
  EXPECT_FALSE(contains(quiet.out, "Reporting"));
  std::istringstream quietLines(quiet.out);
  std::vector<std::string> lines;
  std::vector<std::string> titles;
  for (std::string line; std::getline(quietLines, line);) {
    if (line[0] == '|' || line[0] == '+')
      lines.push_back(line);
    else
      titles.push_back(line);
  }
  EXPECT_EQ(titles,
            (std::vector<std::string>{
                "Domains", "Longest paths for domain Input to clk",
                "Shortest paths for domain Input to clk", "Longest paths for domain clk to clk",
                "Shortest paths for domain clk to clk", "Longest paths for domain clk to Output",
                "Shortest paths for domain clk to Output"}));
  std::istringstream fullLines(full.out);
  std::vector<std::string> tables;
  for (std::string line; std::getline(fullLines, line);)
    if (line.starts_with("  |") || line.starts_with("  +")) tables.push_back(line.substr(2));
  EXPECT_EQ(lines, tables);
}

TEST_F(CommandLineTest, JsonMatchesThePrintedTables) {
  const std::string file = (_directory.path() / "pipeline.json").string();
  const Outcome result = run("--json '" + file + "' '" + kPipeline + "'");
  ASSERT_EQ(result.status, 0) << result.err;
  const json document = json::parse(readFile(file));
  EXPECT_EQ(document.at("format"), "morva-analysis");
  EXPECT_EQ(document.at("archives"), json::array({kPipeline}));
  EXPECT_EQ(document.at("settings").at("count"), 50);
  EXPECT_EQ(document.at("settings").at("limit"), "maximum");
  EXPECT_EQ(document.at("domains").size(), 3u);

  // Every subdomain against its row of the domain report.
  const std::vector<Row> domainRows = getDataRows(getTable(result.out, "Reporting domains"));
  unsigned long matched = 0;
  for (const json& domain : document.at("domains"))
    for (const json& subdomain : domain.at("subdomains")) {
      const json& hold = subdomain.at("hold");
      const json& setup = subdomain.at("setup");
      const Row expected = {subdomain.at("source"),
                            subdomain.at("target"),
                            frequencyLabel(subdomain.at("requiredFrequency")),
                            frequencyLabel(subdomain.at("maximumFrequency")),
                            delayLabel(hold.at("slack")),
                            delayLabel(hold.at("arrivalTime")),
                            delayLabel(hold.at("relationship")),
                            delayLabel(setup.at("slack")),
                            delayLabel(setup.at("arrivalTime")),
                            delayLabel(setup.at("relationship"))};
      EXPECT_EQ(domainRows.at(matched++), expected);
    }
  EXPECT_EQ(matched, 3u);
  const json* clock = findSubdomain(document, "clk:Rising to clk:Rising");
  ASSERT_NE(clock, nullptr);
  EXPECT_EQ(frequencyLabel(clock->at("requiredFrequency")), "500.000MHz");

  // Every path against its row of the path reports, in order.
  for (const json& domain : document.at("domains"))
    for (const json& subdomain : domain.at("subdomains"))
      for (const bool longest : {true, false}) {
        const json& routes = subdomain.at(longest ? "longestRoutes" : "shortestRoutes");
        const std::vector<Row> rows = getDataRows(getTable(
            result.out, std::string("Reporting ") + (longest ? "longest" : "shortest") +
                            " paths for domain " + subdomain.at("name").get<std::string>()));
        ASSERT_EQ(rows.size(), routes.size()) << subdomain.at("name");
        for (std::size_t index = 0; index < routes.size(); ++index) {
          const json& route = routes[index];
          const Row& row = rows[index];
          ASSERT_EQ(row.size(), 8u);
          EXPECT_EQ(row[0], delayLabel(route.at("slack")));
          EXPECT_EQ(row[1], route.at("source"));
          EXPECT_EQ(row[2], route.at("target"));
          EXPECT_EQ(row[3], delayLabel(route.at("dataDelay")));
          EXPECT_EQ(row[5], route.at("check").is_null() ? "-" : delayLabel(route.at("check")));
          EXPECT_EQ(row[6], std::to_string(route.at("depth").get<int>()));
          EXPECT_EQ(row[7], route.at("note"));
          const json& edges = route.at("edges");
          EXPECT_EQ(edges.front().at("source"), route.at("source"));
          for (std::size_t edge = 1; edge < edges.size(); ++edge)
            EXPECT_EQ(edges[edge].at("source"), edges[edge - 1].at("target"));
          EXPECT_FALSE(edges.front().contains("slack"));
        }
      }

  // On standard output the JSON comes alone, the reports go to standard
  // error, and the document is the same.
  const Outcome piped = run("--json - '" + kPipeline + "'");
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(json::parse(piped.out), document);
  EXPECT_EQ(getDataRows(getTable(piped.err, "Reporting domains")), domainRows);
}

TEST_F(CommandLineTest, NotesLimitsMarginsAndTagsReachTheJson) {
  // The clock to clock paths of the example have setup slacks 1.606ns,
  // 1.683ns, 1.710ns and 1.775ns.
  const auto countLongest = [this](const std::string& options) {
    const Outcome result = run(options + " --setup-only --json - '" + kPipeline + "'");
    EXPECT_EQ(result.status, 0) << options << result.err;
    const json document = json::parse(result.out);
    const json* clock = findSubdomain(document, "clk:Rising to clk:Rising");
    return clock ? clock->at("longestRoutes").size() : 0;
  };
  EXPECT_EQ(countLongest(""), 4u);
  EXPECT_EQ(countLongest("-n 3"), 3u);
  EXPECT_EQ(countLongest("-l 1710"), 3u);
  EXPECT_EQ(countLongest("-l 1709"), 2u);
  EXPECT_EQ(countLongest("--limit -5"), 0u);
  EXPECT_EQ(countLongest("-m 77"), 2u);
  EXPECT_EQ(countLongest("-m 200"), 4u);

  // Tagged edge slacks: the worst setup slack through an edge is no larger
  // than the slack of any path that uses it.
  const Outcome tagged = run("--tag-slacks --weights --json - '" + kPipeline + "'");
  ASSERT_EQ(tagged.status, 0);
  const json document = json::parse(tagged.out);
  EXPECT_TRUE(document.at("settings").at("tagSlacks"));
  const json* clock = findSubdomain(document, "clk:Rising to clk:Rising");
  ASSERT_NE(clock, nullptr);
  for (const json& route : clock->at("longestRoutes"))
    for (const json& edge : route.at("edges")) {
      EXPECT_LE(edge.at("slack").get<int>(), route.at("slack").get<int>());
      EXPECT_TRUE(edge.contains("weight"));
    }
  EXPECT_EQ(clock->at("longestRoutes")[0].at("edges")[1].at("slack"), 1606);
}

TEST_F(CommandLineTest, FailOnViolationCountsTheReportedPaths) {
  // The example's only negative slack is the hold check from its input
  // port: its path and its domain report row, which --no-routes still
  // prints.
  const std::string pipeline = "'" + kPipeline + "'";
  EXPECT_EQ(run(pipeline).status, 0);
  EXPECT_EQ(run("--fail-on-violation " + pipeline).status, 1);
  EXPECT_EQ(run("--fail-on-violation --hold-only " + pipeline).status, 1);
  EXPECT_EQ(run("--fail-on-violation --setup-only " + pipeline).status, 0);
  EXPECT_EQ(run("--fail-on-violation --no-routes " + pipeline).status, 1);

  const std::string slow = "'" + write("slow.morva", kTooSlow) + "'";
  const Outcome failing = run("--fail-on-violation --setup-only --json - " + slow);
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.err.find("morva:"), std::string::npos) << failing.err;
  EXPECT_EQ(json::parse(failing.out).at("violations"), 1);
  EXPECT_EQ(run("--fail-on-violation --hold-only " + slow).status, 0);
}

TEST_F(CommandLineTest, JsonIsWrittenWholeOrNotAtAll) {
  const std::string missing = (_directory.path() / "no" / "such" / "place.json").string();
  const Outcome nowhere = run("--json '" + missing + "' '" + kPipeline + "'");
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_TRUE(contains(nowhere.err, "morva: JSON output: " + missing + ": ")) << nowhere.err;
  // Known before anything is loaded.
  EXPECT_EQ(nowhere.out, "");

  fs::create_directory(_directory.path() / "folder");
  const Outcome folder =
      run("--json '" + (_directory.path() / "folder").string() + "' '" + kPipeline + "'");
  EXPECT_EQ(folder.status, 2);
  EXPECT_TRUE(fs::is_empty(_directory.path() / "folder"));

  // A complete run replaces an older file, leaving no temporary file.
  const std::string file = write("result.json", "old");
  const Outcome replaced = run("--no-routes --json '" + file + "' '" + kPipeline + "'");
  EXPECT_EQ(replaced.status, 0);
  EXPECT_EQ(json::parse(readFile(file)).at("settings").at("longest"), false);
  EXPECT_EQ(listDirectory(), (std::vector<std::string>{"folder", "result.json"}));

  // Names that are not UTF-8 (here an archive's) reach the JSON with the
  // bad byte replaced, to a file and to standard output alike.
  const std::string latin = write("caf\xe9.morva", readFile(kPipeline));
  const Outcome toFile = run("--no-routes --json '" + file + "' '" + latin + "'");
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  const Outcome toOutput = run("--no-routes --json - '" + latin + "'");
  EXPECT_EQ(toOutput.status, 0) << toOutput.err;
  EXPECT_EQ(toOutput.out, readFile(file));
  const std::string archive = json::parse(toOutput.out).at("archives").at(0);
  EXPECT_TRUE(archive.ends_with("caf\xef\xbf\xbd.morva")) << archive;
}

TEST_F(CommandLineTest, ConventionsChooseTheRulesAndLiteralRunsNoteTheDifference) {
  const std::string design = "'" + std::string(MORVA_TEST_DATA) + "/cross_clocks.morva'";
  const auto firstRoute = [](const json& document, const char* kind) {
    return document.at("domains").at(0).at("subdomains").at(0).at(kind).at(0).at("slack");
  };
  const Outcome literal = run("--fail-on-violation --setup-only --json - " + design);
  EXPECT_EQ(literal.status, 0) << literal.err;
  const json plain = json::parse(literal.out);
  EXPECT_EQ(firstRoute(plain, "longestRoutes"), 1120);
  EXPECT_EQ(plain.at("settings").at("conventions"), "literal");
  const std::string note =
      "1 subdomain between clocks uses a setup relationship other than its closest edges (worst: "
      "clkA (Falling) to clkB (Rising): 2.200ns, closest 200ps); --conventions sdc times them "
      "against the closest edges";
  EXPECT_EQ(plain.at("notes"), json::array({note}));
  EXPECT_TRUE(contains(literal.err, "note: " + note + "\n")) << literal.err;
  // The literal hold check fails (-160ps): its path and its row.
  const Outcome hold = run("--fail-on-violation --hold-only --json - " + design);
  EXPECT_EQ(hold.status, 1);
  EXPECT_EQ(json::parse(hold.out).at("wns"), (json{{"setup", 0}, {"hold", -160}}));

  const Outcome sdc = run("--conventions sdc --fail-on-violation --json - " + design);
  EXPECT_EQ(sdc.status, 1) << sdc.err;
  const json timed = json::parse(sdc.out);
  EXPECT_EQ(firstRoute(timed, "longestRoutes"), -880);
  EXPECT_EQ(firstRoute(timed, "shortestRoutes"), 1840);
  EXPECT_EQ(timed.at("wns"), (json{{"setup", -880}, {"hold", 0}}));
  EXPECT_EQ(timed.at("tns"), (json{{"setup", -880}, {"hold", 0}}));
  EXPECT_EQ(timed.at("notes"), json::array());
  EXPECT_FALSE(contains(sdc.err, "note:"));

  EXPECT_EQ(run("--conventions tcl " + design).status, 2);
}

// ---- Strict input checking ----------------------------------------------------

std::size_t countLines(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

TEST_F(CommandLineTest, BadInputFailsWithItsPlace) {
  std::string pipeline = readFile(kPipeline);
  pipeline.replace(pipeline.find("SetupHold 15 60"), 9, "SetupHld");
  write("misspelt.morva", pipeline);
  std::string noise(200000, '\0');
  std::uint32_t seed = 1;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245U + 12345U) >> 24);
  write("noise.bin", noise);
  write("broken.gz", Support::gzip(readFile(kPipeline)).substr(0, 200) + std::string(300, 'z'));
  write("clock.morva", "POLE clk None Primary\nCREATE_CLOCK clk -period 5\n");
  write("late.morva", "POLE clk None Primary\nEDGE clk nowhere Interconnect 1 2\n");
  fs::create_directory(_directory.path() / "folder");
  ASSERT_EQ(mkfifo(place("fifo").c_str(), 0600), 0);

  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"misspelt.morva", 2,
       "misspelt.morva:71: Unknown purpose \"SetupHld\", read as Interconnect\n"},
      {"misspelt.morva", 2, "misspelt.morva: 0 lines rejected, 1 line misread\n"},
      {"--lenient misspelt.morva", 0, "misspelt.morva:71: Unknown purpose"},
      {"noise.bin", 2, "morva: noise.bin: binary data (NUL bytes), not a timing archive\n"},
      {"broken.gz", 2, "morva: broken.gz: unreadable gzip stream"},
      {"missing.morva", 2, "morva: missing.morva: no such file\n"},
      {"folder", 2, "morva: folder: is a directory, not an archive\n"},
      {"fifo", 2, "morva: fifo: not a regular file (a FIFO)\n"},
      {"clock.morva", 2, "morva: clock.morva:2: Null name! (at lib/Morva/Analyzer:createClock:"},
      {"clock.morva", 2, " in \"CREATE_CLOCK clk -period 5\"\n"},
      {"late.morva", 2, "late.morva:2: Null target: no pole named nowhere\n"},
      {"- < noise.bin", 2, "morva: standard input: binary data"},
  };
  for (const auto& entry : cases) {
    const Outcome outcome = run("-q --no-routes " + entry.arguments);
    EXPECT_EQ(outcome.status, entry.status) << entry.arguments << "\n" << outcome.err;
    EXPECT_TRUE(contains(outcome.err, entry.message)) << entry.arguments << "\n" << outcome.err;
  }
  // Binary input stops at once: one message, nothing on standard output.
  const Outcome noisy = run("noise.bin");
  EXPECT_EQ(countLines(noisy.err), 1U) << noisy.err;
  EXPECT_EQ(noisy.out, "");
}

TEST_F(CommandLineTest, FloodsAreCountedNotPrinted) {
  std::string text;
  for (int line = 0; line < 20000; ++line) text += "BOGUS record\nPOLE lonely\n";
  const std::string file = write("flood.morva.gz", Support::gzip(text));
  ASSERT_LT(fs::file_size(file), 100000U);
  const Outcome outcome = run("--no-routes --json - flood.morva.gz");
  EXPECT_EQ(outcome.status, 2);
  // 20 of each kind, two counts and one summary line, beside the console's
  // own few lines (on standard error with the JSON on standard output).
  std::istringstream lines(outcome.err);
  std::size_t shown = 0;
  for (std::string line; std::getline(lines, line);) shown += line.starts_with("flood.morva.gz");
  EXPECT_EQ(shown, 43U) << outcome.err;
  EXPECT_LT(countLines(outcome.err), 50U) << outcome.err;
  EXPECT_TRUE(
      contains(outcome.err, "flood.morva.gz: 19980 more \"unrecognized\" messages not shown\n"));
  EXPECT_TRUE(contains(outcome.err, "flood.morva.gz: 40000 lines rejected, 0 lines misread\n"));
  EXPECT_FALSE(contains(outcome.err, "Error:"));
  const json input = json::parse(outcome.out).at("input");
  EXPECT_EQ(input, json::parse(R"([{"archive": "flood.morva.gz", "rejected": 40000, "misread": 0,
                                    "kinds": {"syntax": 20000, "unrecognized": 20000}}])"));
}

TEST_F(CommandLineTest, StandardInputReadsPlainAndCompressed) {
  write("pipeline.morva.gz", Support::gzip(readFile(kPipeline)));
  const Outcome file = run("-q '" + kPipeline + "'");
  ASSERT_EQ(file.status, 0) << file.err;
  for (const std::string& input :
       {"cat '" + kPipeline + "' | ", std::string("cat pipeline.morva.gz | ")}) {
    const std::string command = "cd '" + _directory.path().string() + "' && " + input + "'" +
                                MORVA_TOOL + "' -q - > piped.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << input;
    EXPECT_EQ(readFile(_directory.path() / "piped.txt"), file.out) << input;
  }
  const Outcome json = run("-q --no-routes --json - - < '" + kPipeline + "'");
  EXPECT_EQ(json::parse(json.out).at("input").at(0).at("archive"), "standard input");
}

TEST_F(CommandLineTest, JsonOutputKeepsWhatIsThere) {
  const std::string arguments = " '" + kPipeline + "'";
  // A private file stays private.
  write("private.json", "old");
  ASSERT_EQ(chmod(place("private.json").c_str(), 0600), 0);
  EXPECT_EQ(run("-q --no-routes --json private.json" + arguments).status, 0);
  struct stat status {};
  ASSERT_EQ(stat(place("private.json").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600U);
  EXPECT_EQ(json::parse(readFile(place("private.json"))).at("format"), "morva-analysis");

  // A link stays a link; its target gets the document.
  fs::create_directory(_directory.path() / "real");
  fs::create_symlink("real/target.json", _directory.path() / "link.json");
  EXPECT_EQ(run("-q --no-routes --json link.json" + arguments).status, 0);
  EXPECT_TRUE(fs::is_symlink(_directory.path() / "link.json"));
  EXPECT_EQ(json::parse(readFile(place("real/target.json"))).at("format"), "morva-analysis");

  // A FIFO is written in place.
  ASSERT_EQ(mkfifo(place("fifo").c_str(), 0600), 0);
  const Outcome piped =
      run("-q --no-routes --json fifo" + arguments + " & cat fifo > read.json; wait");
  EXPECT_TRUE(fs::is_fifo(_directory.path() / "fifo"));
  EXPECT_EQ(json::parse(readFile(place("read.json"))).at("format"), "morva-analysis");
}

}  // namespace
