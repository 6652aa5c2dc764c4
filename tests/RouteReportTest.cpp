// Route reports: the console tables of the longest and shortest routes of
// subdomains, in full and compact layout, read back cell by cell.
#include <Morva/Domain.h>
#include <Morva/Route.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <list>

using Morva::Delay;
using Morva::Domain;
using Morva::Edge;
using Morva::Mode;
using Morva::Pole;
using Morva::Route;
using Morva::Subdomain;

namespace {

const Mode kRising(Mode::Rising);

using Cells = std::vector<std::string>;

// A printed table: the heading row (its lines merged cell by cell), the
// body rows, and the rows after a further rule (the total).
struct Table {
  Cells headings;
  std::vector<Cells> rows;
  std::vector<Cells> footer;
  std::vector<std::string> other;  // lines outside the table
};

Table readTable(const std::string& text) {
  Table table;
  std::istringstream input(text);
  int rules = 0;
  for (std::string line; std::getline(input, line);) {
    const std::string bare = Support::trim(line);
    if (bare.empty() || (bare[0] != '|' && bare[0] != '+')) {
      table.other.push_back(bare);
      continue;
    }
    if (bare[0] == '+') {
      ++rules;
      continue;
    }
    const Cells cells = Support::cellsOf(bare);
    if (rules == 1) {
      if (table.headings.empty()) table.headings.assign(cells.size(), "");
      for (std::size_t index = 0; index < cells.size(); ++index)
        if (!cells[index].empty())
          table.headings[index] += (table.headings[index].empty() ? "" : " ") + cells[index];
    } else if (rules == 2) {
      table.rows.push_back(cells);
    } else {
      table.footer.push_back(cells);
    }
  }
  return table;
}

Morva::Edges edgesOf(const std::list<Edge*>& edges) {
  return Orvek::ListCollection<Edge*>(edges);
}

// Clock clkA (port a); registers ff1 and ff2 on clkA; ff1 -> q -> d ->
// check into ff2; the input port in feeds d; q drives the output port out.
class RouteReportTest : public Support::AnalyzerFixture {
 protected:
  void SetUp() override {
    AnalyzerFixture::SetUp();
    clkA = Support::port("a");
    Morva::analyzer->createClock(clkA, "clkA", Delay(1000), Delay(0), Delay(500));
    ff1 = Support::pin("ff1", Mode::Rising);
    ff2 = Support::pin("ff2", Mode::Rising);
    q = Support::pin("q");
    d = Support::pin("d");
    in = Support::port("in");
    out = Support::port("out");
    using P = Morva::Purpose;
    clockToQ = Support::edge(ff1, q, 80, 100, P::IOPath);
    wire = Support::edge(q, d, 20, 30);
    check = Support::edge(d, Pole::createDual("ff2"), 10, 50, P::SetupHold);
    inWire = Support::edge(in, d, 5, 7);
    toOut = Support::edge(q, out, 40, 60, P::IOPath);

    pure = Subdomain::create(Domain::create(clkA, clkA), kRising, kRising);
    pure->captureLaunch(ff1);
    pure->captureLatch(ff2);
    pure->setSetupRelation(Delay(1000));
    pure->setHoldRelation(Delay(0));
  }
  void TearDown() override {
    AnalyzerFixture::TearDown();
    while (Orvek::console.getIndentation() > 0) Orvek::console.unindent();
  }

  Table report(Subdomain* subdomain, bool longest, bool compact) {
    _console.clear();
    if (longest)
      subdomain->reportLongestRoutes(compact);
    else
      subdomain->reportShortestRoutes(compact);
    return readTable(_console.text());
  }

  Support::ConsoleCapture _console;
  Pole *clkA, *ff1, *ff2, *q, *d, *in, *out;
  Edge *clockToQ, *wire, *check, *inWire, *toOut;
  Subdomain* pure;
};

}  // namespace

TEST_F(RouteReportTest, FullLayoutOfLongestRoutes) {
  const std::list<Edge*> path{clockToQ, wire, check};
  Route::createLongest(pure, edgesOf(path), Delay(120), Delay(100), Delay(0));
  Route::createLongest(pure, edgesOf(path), Delay(120), Delay(100), Delay(-300));
  pure->captureLatch(out);
  Route::createLongest(pure, edgesOf({clockToQ, toOut}), Delay(0), Delay(10), Delay(0));

  const Table table = report(pure, true, false);
  EXPECT_EQ(
      table.other,
      (std::vector<std::string>{"Reporting longest paths for domain clkA:Rising to clkA:Rising"}));
  EXPECT_EQ(table.headings, (Cells{"Slack", "Source", "Target", "Data Delay", "Clock Skew",
                                   "Setup/Recovery", "Depth", "Note"}));
  ASSERT_EQ(table.rows.size(), 3U);
  // Worst slack first; a check target shows the data pin and the check's
  // maximum delay, an output target itself and no check.
  EXPECT_EQ(table.rows[0], (Cells{"540ps", "ff1", "d", "130ps", "20ps", "50ps", "2", ""}));
  EXPECT_EQ(table.rows[1], (Cells{"830ps", "ff1", "out", "160ps", "-10ps", "-", "2", ""}));
  EXPECT_EQ(table.rows[2], (Cells{"840ps", "ff1", "d", "130ps", "20ps", "50ps", "2", ""}));
  EXPECT_EQ(table.footer, (std::vector<Cells>{{"Total", "3"}}));
  EXPECT_EQ(Orvek::console.getIndentation(), 0U);
}

TEST_F(RouteReportTest, ShortestRoutesInBothLayouts) {
  Route::createShortest(pure, edgesOf({clockToQ, wire, check}), Delay(120), Delay(100), Delay(0));
  const Table full = report(pure, false, false);
  EXPECT_EQ(full.headings[5], "Hold/Removal");
  ASSERT_EQ(full.rows.size(), 1U);
  // Short delay 100 - 20 - 10 = 70 against hold 0; the check's minimum.
  EXPECT_EQ(full.rows[0], (Cells{"70ps", "ff1", "d", "100ps", "20ps", "10ps", "2", ""}));
  EXPECT_EQ(full.footer, (std::vector<Cells>{{"Total", "1"}}));

  // The compact first column is the adjusted delay of a shortest route.
  pure->setHoldRelation(Delay(30));
  const Table compact = report(pure, false, true);
  EXPECT_EQ(compact.headings, (Cells{"Slack", "Delay", "Skew", "Length", "Path"}));
  EXPECT_EQ(compact.rows,
            (std::vector<Cells>{{"70ps", "100ps", "20ps", "2", "SHORTEST-ROUTE[ff1...ff2]"}}));
  EXPECT_TRUE(compact.footer.empty());

  Route::createLongest(pure, edgesOf({clockToQ, wire, check}), Delay(120), Delay(100), Delay(0));
  const Table longest = report(pure, true, true);
  EXPECT_EQ(longest.rows,
            (std::vector<Cells>{{"840ps", "130ps", "20ps", "2", "LONGEST-ROUTE[ff1...ff2]"}}));
}
