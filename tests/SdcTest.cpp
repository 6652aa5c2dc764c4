// SDC constraints: each command and query on the two-clock example design,
// checked through the archive records they become; errors with their file
// and line; and the example analysed directly and through morva-import.
#include "Support.h"

#include <ArchiveWriter.h>
#include <Importer.h>
#include <Message.h>

namespace {

using Support::TempDir;

const std::string kExample = std::string(MORVA_EXAMPLES) + "/import/sync";

class SdcTest : public Support::AnalyzerFixture {
 protected:
  // The example netlist with `constraints` as its SDC file; answers the
  // archive written from the analyzer.
  std::string constrain(const std::string& constraints, bool lenient = false) {
    MorvaImport::ImportOptions options;
    options.lenient = lenient;
    MorvaImport::Importer importer(options);
    for (const std::string& file :
         {kExample + ".v", kExample + ".sdf", _folder.writeFile("c.sdc", constraints)})
      importer.read(file, MorvaImport::detectKind(file));
    importer.build();
    importer.constrain();
    std::ostringstream archive;
    MorvaImport::writeArchive(archive);
    return archive.str();
  }

  const TempDir _folder{"sdc"};
};

struct Construct {
  const char* sdc;
  std::vector<const char*> records;  // archive lines expected
  const char* warning;               // console text expected, or ""
};

TEST_F(SdcTest, CommandsBecomeArchiveRecords) {
  const Construct cases[] = {
      // Units, waveform, variables and expr.
      {"set_units -time ps\ncreate_clock -name a -period 800 -waveform {100 500} [get_ports clka]",
       {"CREATE_CLOCK clka -name a -period 800 -rising 100 -falling 500"},
       ""},
      {"set p 2\ncreate_clock -period [expr {$p / 2.0}] clkb",
       {"CREATE_CLOCK clkb -name clkb -period 1000 -rising 0 -falling 500"},
       ""},
      // Delays: sides given apart, -add_delay keeps the worst, a side never
      // given takes the other's value; another clock is not carried.
      {"create_clock -period 1 clka\ncreate_clock -period 2 clkb\n"
       "set_input_delay -min 0.1 -clock clka -clock_fall din\n"
       "set_input_delay -max 0.3 -clock clka -clock_fall din\n"
       "set_input_delay -max 0.5 -clock clka -clock_fall -add_delay din\n"
       "set_input_delay 0.9 -clock clkb -add_delay din\n"
       "set_output_delay -max 0.2 -clock [get_clocks clkb] [all_outputs]",
       {"SET_INPUT_DELAY -clock clka -fall -min 100 -max 500 -port din",
        "SET_OUTPUT_DELAY -clock clkb -rise -min 200 -max 200 -port dout"},
       "c.sdc:6: set_input_delay -add_delay on \"din\" not carried: a port keeps one delay, the "
       "one of "},
      // One group: against every other clock; the exclusive kinds alike.
      {"create_clock -period 1 clka\ncreate_clock -period 2 clkb\n"
       "set_clock_groups -asynchronous -group clka",
       {"CREATE_CLOCK_GROUPS -asynchronous -group clka -group clkb"},
       ""},
      {"create_clock -period 1 clka\ncreate_clock -period 2 clkb\n"
       "set_clock_groups -physically_exclusive -group [get_clocks clkb] -group {clka}",
       {"CREATE_CLOCK_GROUPS -exclusive -group clkb -group clka"},
       ""},
      // Globs and loops; false paths end at the registers' data pins.
      {"foreach r [get_cells r?1] { set_false_path -to $r }",
       {"FALSE_PATH -to ra1/D", "FALSE_PATH -to rb1/D"},
       ""},
      // A clock stands for its registers (and ports with delays on it), a
      // cell passed through for its outputs, a net for its pins; timed
      // paths end at capture points, written as the clock pins.
      {"create_clock -period 1 clka\nset_input_delay 0 -clock clka din\n"
       "set_max_delay 1.5 -from [get_clocks clka] -through [get_cells u1] -to [get_pins ra2/D]",
       {"MAXIMUM_DELAY_PATH 1500 -from din ra1/CK ra2/CK -through u1/Y -to ra2/CK"},
       ""},
      {"set_min_delay 0.3 -from [get_pins ra1/CK] -through [get_nets n1] -to [get_cells ra2]",
       {"MINIMUM_DELAY_PATH 300 -from ra1/CK -through u1/Y u2/A -to ra2/CK"},
       ""},
      {"set_multicycle_path 3 -setup -from ra1 -to ra2",
       {"MULTICYCLE_PATH 3 -from ra1/CK -to ra2/CK"},
       "c.sdc:1: set_multicycle_path 3: hold checks stay at the single-cycle edge, as if -hold 2 "
       "were given"},
      {"set_multicycle_path 2 -from ra1 -to ra2\nset_multicycle_path 0 -hold -from ra1 -to ra2",
       {"MULTICYCLE_PATH 2 -from ra1/CK -to ra2/CK"},
       "c.sdc:2: set_multicycle_path -hold not carried"},
      {"set_load 1 dout\nset_load 2 dout\nset_clock_latency 0.1 clka",
       {},
       "c.sdc:1: set_load ignored (not part of the timing model)\nWarning: c.sdc:3: "
       "set_clock_latency ignored"},
  };
  for (const Construct& construct : cases) {
    SCOPED_TRACE(construct.sdc);
    Morva::analyzer->destroy();
    Morva::Analyzer::create();
    Support::ConsoleCapture console;
    const std::string archive = constrain(construct.sdc);
    for (const char* record : construct.records)
      EXPECT_NE(archive.find(std::string(record) + "\n"), std::string::npos) << record << "\n"
                                                                             << archive;
    std::string warning = console.text();
    const std::string folder = _folder.path().string() + "/";
    for (std::size_t at; (at = warning.find(folder)) != std::string::npos;)
      warning.erase(at, folder.size());
    if (*construct.warning)
      EXPECT_NE(warning.find(std::string("Warning: ") + construct.warning), std::string::npos)
          << warning;
    else
      EXPECT_EQ(warning, "");
  }
}

struct Fault {
  const char* sdc;
  std::size_t line;
  const char* message;
};

TEST_F(SdcTest, ErrorsGiveFileAndLine) {
  const Fault faults[] = {
      {"create_clock -period 1 clka\n\nfoo_bar 1", 3, "unknown command \"foo_bar\""},
      {"exec ls", 1, "unknown command \"exec\""},
      {"set x 1\nset y {\n", 2, "missing close-brace"},
      {"create_clock -period", 1, "create_clock: -period needs a value"},
      {"create_clock -period 1ns clka", 1, "expected a time, got \"1ns\""},
      {"create_clock -period 1 -waveform {0 0.2 0.5 0.7} clka", 1,
       "create_clock: a waveform is carried with two edges (rising, falling), not \"0 0.2 0.5 "
       "0.7\""},
      {"create_clock -name v -period 1", 1,
       "create_clock: no port or pin given (virtual clocks are not carried)"},
      {"create_clock -period 1 clka\ncreate_clock -period 1 -name clka clkb", 2,
       "create_clock: clock \"clka\" already exists"},
      {"create_clock -period 1 clka\nset_input_delay 1 -clock clka [get_pins ra1/D]", 2,
       "set_input_delay: delays are given to ports, not to the pin \"ra1/D\""},
      {"set_input_delay 1 -clock nope din", 1, "no clock named \"nope\""},
      {"set_false_path -from nowhere", 1, "no port, pin, cell, clock or net named \"nowhere\""},
      {"set_false_path -from [get_nets a1]", 1,
       "set_false_path: the net \"a1\" is only understood with -through"},
      {"set_false_path -to u1", 1, "set_false_path: the cell \"u1\" has no timing check to end at"},
      {"set_max_delay 1 -through ra1/Q", 1, "set_max_delay: Empty sources"},
      {"set_units -time 3h", 1, "set_units: bad time unit \"3h\" (fs, ps, ns or us)"},
      {"proc p {} {\n  set_false_path -rise_from din\n}\nforeach i {1} {\n  p\n}", 5,
       "set_false_path: unknown option -rise_from"},
      {"if 1 {\n  set\n}", 2, "wrong # args: should be \"set varName ?newValue?\""},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.sdc);
    Morva::analyzer->destroy();
    Morva::Analyzer::create();
    Support::ConsoleCapture console;
    try {
      constrain(fault.sdc);
      ADD_FAILURE() << "no error";
    } catch (const MorvaImport::ReadError& error) {
      EXPECT_EQ(error.getRecord().str(), (_folder.path() / "c.sdc").string() + ":" +
                                             std::to_string(fault.line) + ": " + fault.message);
    }
  }
  // Lenient: unknown commands are skipped, each said, then counted.
  Morva::analyzer->destroy();
  Morva::Analyzer::create();
  Support::ConsoleCapture console;
  constrain("foo\nforeach i {1 2} {\n  bar $i\n}", true);
  const std::string file = (_folder.path() / "c.sdc").string();
  EXPECT_EQ(console.text(), "Warning: " + file + ":1: unknown command \"foo\" skipped\n" +
                                "Warning: " + file + ":3: unknown command \"bar\" skipped\n" +
                                "Warning: " + file + ":3: unknown command \"bar\" skipped\n" +
                                "Warning: " + file + ": 3 unknown commands skipped\n");
}

// examples/import/sync.{v,sdf,sdc}, by hand (ps; clka 1000, clkb 2000; wires
// 0; DFF clock to Q 100/120, setup 50, hold 20; u1 300/400, u2 500/700,
// u3 80/100):
//   ra1 -> ra2, two cycles: setup 2000 - 50 - (120 + 400 + 700) = 730;
//     hold stays at the launch edge: (100 + 300 + 500) - 20 = 880.
//   din -> ra1, input delay 200: setup 1000 - 50 - 200 = 750; hold 200 - 20 = 180.
//   rb1 -> dout, output delay max 300, min 100: setup 2000 - 300 - (120 + 100)
//     = 1480; hold (100 + 80) + 100 = 280.
//   ra2 -> rb1 is a false path: not computed.
using SdcCommandTest = Support::CommandFixture;

TEST_F(SdcCommandTest, ExampleDirectAndThroughAnArchive) {
  const auto morva = [this](const std::string& arguments) {
    return run(MORVA_TOOL, arguments + " 2>&1");
  };
  const std::string inputs = kExample + ".v " + kExample + ".sdf " + kExample + ".sdc";
  const Support::Outcome direct = morva("-q -c " + inputs);
  ASSERT_EQ(direct.status, 0);
  ASSERT_EQ(run(MORVA_IMPORT_TOOL, inputs + " -o sync.morva").status, 0);
  const Support::Outcome loaded = morva("-q -c --conventions sdc sync.morva");
  ASSERT_EQ(loaded.status, 0);
  const std::string& report = direct.out;
  const std::string warnings = "Warning: " + kExample +
                               ".sdc:18: set_clock_uncertainty ignored (not part of the timing "
                               "model)\nWarning: " +
                               kExample +
                               ".sdc:20: set_clock_latency ignored (not part of the "
                               "timing model)\n";
  ASSERT_EQ(report.substr(0, warnings.size()), warnings);
  EXPECT_EQ(report.substr(warnings.size()), loaded.out);
  for (const char* row : {"| 730ps | 1.220ns |    0ps |      4 | LONGEST-ROUTE[ra1/CK...ra2/CK] |",
                          "| 750ps |     0ps | -200ps |      1 | LONGEST-ROUTE[din...ra1/CK]    |",
                          "| 880ps | 900ps |    0ps |      4 | SHORTEST-ROUTE[ra1/CK...ra2/CK] |",
                          "| 180ps |   0ps | -200ps |      1 | SHORTEST-ROUTE[din...ra1/CK]    |",
                          "| 1.480ns | 220ps | -300ps |      2 | LONGEST-ROUTE[rb1/CK...dout] |",
                          "| 280ps | 180ps | -100ps |      2 | SHORTEST-ROUTE[rb1/CK...dout] |"})
    EXPECT_TRUE(Support::contains(report, row)) << row << "\n" << report;
  // The false path leaves the crossing without paths.
  EXPECT_TRUE(Support::contains(report,
                                "Longest paths for domain clka to clkb\nShortest paths "
                                "for domain clka to clkb\nLongest"));

  // A bad file stops the run with its place, status 2; what a reader skips
  // counts as a misread line: the run fails unless --lenient, which gives
  // the analysis's own status.
  const std::string design = " " + kExample + ".v " + kExample + ".sdf ";
  const std::string bad = write("bad.sdc", "create_clock -period 1 clka\nfoo\n");
  const std::string skipped = write("skipped.sdc", "\nset_false_path -to [get_cells nothing*]\n");
  const std::string misread = skipped + ":2: get_cells: nothing matches \"nothing*\"\n" + skipped +
                              ":2: set_false_path: its lists name no object; skipped\n" + skipped +
                              ": 0 lines rejected, 1 line misread\n";
  const struct {
    std::string arguments;
    int status;
    std::string err;
  } faults[] = {{"-q" + design + bad, 2, "morva: " + bad + ":2: unknown command \"foo\"\n"},
                {"-q --no-routes" + design + skipped, 2, misread},
                {"-q --no-routes --lenient" + design + skipped, 0, misread}};
  for (const auto& fault : faults) {
    const Support::Outcome outcome = run(MORVA_TOOL, fault.arguments);
    EXPECT_EQ(outcome.status, fault.status) << fault.arguments;
    EXPECT_EQ(outcome.err, fault.err) << fault.arguments;
  }
}

}  // namespace
