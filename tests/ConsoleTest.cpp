// The reporting console: message lines, indentation, progress, timers and
// tables.
#include <Orvek/Console.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every test starts from a console writing to a string with progress on and
// no indentation, and leaves it on standard output.
class ConsoleTest : public testing::Test {
 protected:
  void SetUp() override {
    Orvek::console.setOutput(_stream);
    Orvek::console.setProgress(true);
  }
  void TearDown() override {
    while (Orvek::console.getIndentation() > 0) Orvek::console.unindent();
    Orvek::console.setProgress(true);
    Orvek::console.setOutput(std::cout);
  }
  std::string text() const { return _stream.str(); }
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream input(_stream.str());
    for (std::string line; std::getline(input, line);) result.push_back(line);
    return result;
  }

  std::ostringstream _stream;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(ConsoleTest, MessagesAreOneLineWithTheirPrefix) {
  Orvek::console.print("Creating domains", "");
  Orvek::console.warning("Unconstrained output \"q\"", "");
  Orvek::console.error("Line 4: unknown keyword", "");
  Orvek::console.remark("3 loops", "");
  Orvek::console.print("Joined ", "text");
  Orvek::console.print("");
  EXPECT_EQ(text(),
            "Creating domains\n"
            "Warning: Unconstrained output \"q\"\n"
            "Error: Line 4: unknown keyword\n"
            "Remark: 3 loops\n"
            "Joined text\n"
            "\n");
  EXPECT_EQ(&Orvek::console.getOutput(), &_stream);
}

TEST_F(ConsoleTest, IndentationNestsByTwoSpaces) {
  Orvek::console.print("Analyzing");
  Orvek::console.indent();
  Orvek::console.print("Scanning");
  Orvek::console.indent();
  Orvek::console.warning("Loop");
  EXPECT_EQ(Orvek::console.getIndentation(), 2u);
  Orvek::console.unindent();
  Orvek::console.remark("Done");
  Orvek::console.unindent();
  Orvek::console.unindent();
  Orvek::console.unindent();
  EXPECT_EQ(Orvek::console.getIndentation(), 0u);
  Orvek::console.error("Back");
  EXPECT_EQ(lines(), (Lines{"Analyzing", "  Scanning", "    Warning: Loop", "  Remark: Done",
                            "Error: Back"}));
}

TEST_F(ConsoleTest, WithoutProgressOnlyWarningsErrorsRemarksAndTablesShow) {
  Orvek::console.setProgress(false);
  EXPECT_FALSE(Orvek::console.hasProgress());
  Orvek::console.indent();
  Orvek::console.print("Hidden");
  Orvek::console.openTimer("Hidden timer");
  Orvek::console.closeTimer("Hidden in %");
  Orvek::console.warning("Shown");
  Orvek::console.error("Shown");
  Orvek::console.remark("Shown");
  Orvek::console.openTable(1, 1, 8);
  Orvek::console.addCell(0, 0, "t", -1, 0);
  Orvek::console.closeTable();
  EXPECT_EQ(lines(),
            (Lines{"Warning: Shown", "Error: Shown", "Remark: Shown", "+---+", "| t |", "+---+"}));
  Orvek::console.setProgress(true);
  Orvek::console.print("Visible");
  EXPECT_EQ(lines().back(), "  Visible");
}

TEST_F(ConsoleTest, TimersReplaceEveryPercentByTheElapsedTime) {
  Orvek::console.openTimer("Analyzing");
  Orvek::console.openTimer("");
  Orvek::console.closeTimer("Inner %");
  Orvek::console.closeTimer("Analyzed in % (% total), 100");
  Orvek::console.closeTimer("Unopened %");
  Orvek::console.closeTimer("No percent");
  const Lines out = lines();
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0], "Analyzing");
  const std::string unit = "[0-9]+(\\.[0-9]+)?(ns|us|ms|s)";
  EXPECT_TRUE(std::regex_match(out[1], std::regex("Inner " + unit))) << out[1];
  EXPECT_TRUE(
      std::regex_match(out[2], std::regex("Analyzed in (" + unit + ") \\(\\1 total\\), 100")))
      << out[2];
  EXPECT_EQ(out[3], "Unopened 0ns");
  EXPECT_EQ(out[4], "No percent");
  // A timer that ran measures its time.
  Orvek::console.openTimer("");
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  Orvek::console.closeTimer("%");
  EXPECT_NE(lines().back(), "0ns");
}

TEST_F(ConsoleTest, DurationsReadInTheLargestFittingUnit) {
  using std::chrono::nanoseconds;
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(0)), "0ns");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(-5)), "0ns");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(999)), "999ns");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(1500)), "1.5us");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(999960)), "1.0ms");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(2500000)), "2.5ms");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(999990000)), "1.00s");
  EXPECT_EQ(Orvek::Console::getDuration(nanoseconds(3000000000)), "3.00s");
}

TEST_F(ConsoleTest, TableWithSpanSeparatorsAndAlignments) {
  Orvek::console.openTable(3, 4, 8);
  EXPECT_TRUE(Orvek::console.hasOpenTable());
  Orvek::console.addCell(0, 0, 2, 0, "Longest routes", 0, 0);
  Orvek::console.addSeparator(0);
  Orvek::console.addCell(0, 1, "Pole", -1, 0);
  Orvek::console.addCell(1, 1, "Delay", 1, 0);
  Orvek::console.addCell(2, 1, "Slack", 1, 0);
  Orvek::console.addSeparator(1);
  Orvek::console.addCell(0, 2, "u1/q", -1, 0);
  Orvek::console.addCell(1, 2, "12ps", 1, 0);
  Orvek::console.addCell(2, 2, "1.500ns", 1, 0);
  Orvek::console.addCell(0, 3, "out", -1, 0);
  Orvek::console.addCell(1, 3, "7ps", 1, 0);
  Orvek::console.addCell(2, 3, "-3ps", 1, 0);
  Orvek::console.addSeparator(3);
  EXPECT_EQ(text(), "");
  Orvek::console.closeTable();
  EXPECT_FALSE(Orvek::console.hasOpenTable());
  EXPECT_EQ(text(),
            "+------+-------+---------+\n"
            "|     Longest routes     |\n"
            "+------+-------+---------+\n"
            "| Pole | Delay |   Slack |\n"
            "+------+-------+---------+\n"
            "| u1/q |  12ps | 1.500ns |\n"
            "| out  |   7ps |    -3ps |\n"
            "+------+-------+---------+\n");
}

TEST_F(ConsoleTest, TableWithMultiLineAndRowSpanningCells) {
  Orvek::console.indent();
  Orvek::console.openTable(2, 4, 8);
  Orvek::console.addCell(0, 0, "Setup\nslack", -1, 0);
  Orvek::console.addCell(1, 0, "x", 1, 0);
  Orvek::console.addCell(0, 1, 0, 2, "tall", 0, 0);
  Orvek::console.addCell(1, 1, "right", 1, 0);
  Orvek::console.addCell(1, 2, "r", -1, 0);
  Orvek::console.closeTable();
  EXPECT_EQ(lines(), (Lines{"  +-------+-------+", "  | Setup |     x |", "  | slack |       |",
                            "  | tall  | right |", "  |       | r     |", "  |       |       |",
                            "  +-------+-------+"}));
}

TEST_F(ConsoleTest, SpanningCellWiderThanItsColumnsWidensThem) {
  Orvek::console.openTable(2, 2, 8);
  Orvek::console.addCell(0, 0, 1, 0, "A wide heading", -1, 0);
  Orvek::console.addCell(0, 1, "a", -1, 0);
  Orvek::console.addCell(1, 1, "b", 1, 0);
  Orvek::console.closeTable();
  const Lines out = lines();
  ASSERT_EQ(out.size(), 4u);
  for (const auto& line : out) EXPECT_EQ(line.size(), out[0].size()) << line;
  EXPECT_EQ(out[1], "| A wide heading |");
  EXPECT_TRUE(std::regex_match(out[2], std::regex("\\| a +\\| +b \\|"))) << out[2];
  EXPECT_EQ(out[0].find('+', 1), out[2].find('|', 1));
}

TEST_F(ConsoleTest, BadTableRequestsAreIgnored) {
  Orvek::console.closeTable();
  Orvek::console.addCell(0, 0, "before open", -1, 0);
  Orvek::console.addSeparator(0);
  EXPECT_EQ(text(), "");
  Orvek::console.openTable(2, 1, 8);
  Orvek::console.addCell(2, 0, "column out", -1, 0);
  Orvek::console.addCell(0, 1, "row out", -1, 0);
  Orvek::console.addCell(1, 0, 0, 0, "reversed", -1, 0);
  Orvek::console.addCell(0, 0, 1, 5, "too tall", -1, 0);
  Orvek::console.addSeparator(7);
  Orvek::console.addCell(0, 0, "ok", -1, 0);
  Orvek::console.closeTable();
  Orvek::console.closeTable();
  EXPECT_EQ(lines(), (Lines{"+----+--+", "| ok |  |", "+----+--+"}));
  // Opening again starts an empty table.
  Orvek::console.openTable(1, 1, 8);
  Orvek::console.openTable(1, 1, 8);
  Orvek::console.closeTable();
  EXPECT_EQ(lines().size(), 6u);
  EXPECT_EQ(lines()[4], "|  |");
}
