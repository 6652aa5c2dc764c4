#include <Morva/Domain.h>
#include <Morva/Subdomain.h>

#include "Support.h"

using namespace Morva;
using Support::clock;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

bool isRule(const std::string& line) {
  return line.find("+-") != std::string::npos;
}

class DriverTest : public Support::AnalyzerFixture {
 protected:
  static Subdomain* subdomain(Domain* domain, Mode::Code launch, Mode::Code latch, int shortest,
                              int longest, int hold, int setup) {
    Subdomain* made = Subdomain::create(domain, Mode(launch), Mode(latch));
    made->setSAT(Delay(shortest));
    made->setLAT(Delay(longest));
    made->setHoldRelation(Delay(hold));
    made->setSetupRelation(Delay(setup));
    return made;
  }
  // The table lines of the output, and among them the data rows.
  std::vector<std::string> tableLines() const {
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(_console.text()))
      if (line.find('|') != std::string::npos || isRule(line)) lines.push_back(line);
    return lines;
  }
  std::vector<std::vector<std::string>> rowsStartingWith(const std::vector<std::string>& sources,
                                                         std::vector<bool>* ruled = nullptr) const {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> lines = tableLines();
    for (std::size_t index = 0; index < lines.size(); ++index) {
      const std::vector<std::string> cells = Support::cellsOf(lines[index]);
      if (cells.empty()) continue;
      for (const std::string& source : sources)
        if (cells[0] == source) {
          rows.push_back(cells);
          if (ruled) ruled->push_back(index + 1 < lines.size() && isRule(lines[index + 1]));
          break;
        }
    }
    return rows;
  }

  Support::ConsoleCapture _console;
};

TEST_F(DriverTest, TheFullReportListsEverySubdomainByDomain) {
  Pole* clk = clock("clk", 1000);
  Pole* other = clock("gen", 2000);
  Domain* pure = Domain::create(clk, clk);
  Domain* input = Domain::create(nullptr, clk);
  Domain* output = Domain::create(clk, nullptr);
  Domain* across = Domain::create(clk, other);
  Subdomain* decisive = subdomain(pure, Mode::Rising, Mode::Rising, 139, 314, 0, 1000);
  decisive->setDecisive(true);
  analyzer->setPeriod(clk, Delay(314));
  subdomain(pure, Mode::Rising, Mode::Falling, 20, 250, -500, 500);
  subdomain(input, Mode::None, Mode::Rising, 40, 90, 0, 1000);
  subdomain(output, Mode::Falling, Mode::None, 7, 11, 3, 1500);
  subdomain(across, Mode::Rising, Mode::Rising, 12, 34, -2, 700);

  analyzer->reportDomains(false);
  const std::vector<std::string> lines = tableLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(Support::cellsOf(lines[1]),
            (std::vector<std::string>{"Domain", "Frequency", "Hold/Removal Summary",
                                      "Setup/Recovery Summary"}));
  const std::vector<std::string> headings = Support::cellsOf(lines[3]);
  EXPECT_EQ(headings, (std::vector<std::string>{"Source", "Target", "Required", "Maximum", "Slack",
                                                "Minimum Data", "Minimum", "Slack", "Maximum Data",
                                                "Maximum"}));
  // Headings wrap at 15 characters.
  EXPECT_NE(_console.text().find("Required"), std::string::npos);
  EXPECT_NE(_console.text().find("Arrival Time"), std::string::npos);
  EXPECT_NE(_console.text().find("Relationship"), std::string::npos);

  std::vector<bool> ruled;
  const auto rows = rowsStartingWith({"Input", "clk (Rising)", "clk (Falling)"}, &ruled);
  // Hold slack = shortest - hold relation, setup slack = setup relation -
  // longest; the frequencies only where the subdomain is decisive: 1e12 /
  // 314 = 3184713375 Hz.
  const std::vector<std::vector<std::string>> expected{
      {"Input", "clk (Rising)", "-", "-", "40ps", "40ps", "0ps", "910ps", "90ps", "1.000ns"},
      {"clk (Rising)", "clk (Rising)", "1000.000MHz", "3.185GHz", "139ps", "139ps", "0ps", "686ps",
       "314ps", "1.000ns"},
      {"clk (Rising)", "clk (Falling)", "-", "-", "520ps", "20ps", "-500ps", "250ps", "250ps",
       "500ps"},
      {"clk (Rising)", "gen (Rising)", "-", "-", "14ps", "12ps", "-2ps", "666ps", "34ps", "700ps"},
      {"clk (Falling)", "Output", "-", "-", "4ps", "7ps", "3ps", "1.489ns", "11ps", "1.500ns"}};
  EXPECT_EQ(rows, expected);
  // A rule under the last row of each domain only.
  EXPECT_EQ(ruled, (std::vector<bool>{true, false, true, true, true}));
  const auto total = rowsStartingWith({"Total"});
  ASSERT_EQ(total.size(), 1u);
  EXPECT_EQ(total[0], (std::vector<std::string>{"Total", "5"}));
  EXPECT_EQ(linesOf(_console.text())[0], "Reporting domains");
  EXPECT_EQ(linesOf(_console.text())[1].substr(0, 3), "  +");
}

}  // namespace
