#include "../src/tools/Histogram.h"
#include "../src/tools/HtmlWriter.h"
#include "../src/tools/MessageRecorder.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using json = nlohmann::ordered_json;
using MorvaTool::Histogram;

std::string getPage(const json& document) {
  std::ostringstream page;
  MorvaTool::writeHtml(document, page);
  return page.str();
}

json getRoute(const std::string& source, const json& slack) {
  return {{"source", source},
          {"target", "r/D"},
          {"slack", slack},
          {"dataDelay", 100},
          {"skew", 5},
          {"check", 20},
          {"depth", 2},
          {"note", ""},
          {"edges",
           {{{"source", source}, {"target", "r/D"}, {"purpose", "IOPath"}, {"delay", 100}},
            {{"source", "r/D"}, {"target", "r/CK"}, {"purpose", "SetupHold"}, {"delay", 20}}}}};
}

json getSubdomain(const json& setupSlack, const json& holdSlack, const json& routes) {
  return {{"name", "clk:Rising to clk:Rising"},
          {"source", "clk (Rising)"},
          {"target", "clk (Rising)"},
          {"requiredFrequency", 499999999},
          {"maximumFrequency", nullptr},
          {"hold", {{"slack", holdSlack}, {"arrivalTime", 40}, {"relationship", 0}}},
          {"setup", {{"slack", setupSlack}, {"arrivalTime", 900}, {"relationship", 1000}}},
          {"longestRoutes", routes},
          {"shortestRoutes", json::array()}};
}

json getDocument(const json& domains) {
  return {{"archives", {"a.morva"}},
          {"tool", "morva test"},
          {"settings", {{"longest", true}, {"shortest", true}, {"limit", "maximum"}}},
          {"violations", 0},
          {"domains", domains}};
}

TEST(HtmlWriterTest, HistogramBinsFollowTheData) {
  struct Case {
    std::vector<std::int64_t> slacks;
    std::int64_t start;
    std::int64_t step;
    std::vector<unsigned long> counts;
  };
  const Case cases[] = {
      {{5}, 5, 1, {1}},
      {{-1, 1}, -1, 1, {1, 0, 1}},
      {{-70, -68, 5, 100}, -70, 10, {2, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
      // 2150ps over 20 bins needs 108ps: the next nice width is 200ps, and
      // zero stays a bin boundary.
      {{-150, 2000, 1999, 0}, -200, 200, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}},
      {{-2147483646, 2147483646}, -2500000000, 500000000, {1, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
  };
  for (const Case& test : cases) {
    const Histogram histogram(test.slacks);
    EXPECT_EQ(histogram.getStart(), test.start);
    EXPECT_EQ(histogram.getStep(), test.step);
    EXPECT_EQ(histogram.getCounts(), test.counts);
  }
  EXPECT_TRUE(Histogram({}).isEmpty());
  const std::pair<std::int64_t, const char*> labels[] = {{0, "0ps"},      {-200, "-200ps"},
                                                         {999, "999ps"},  {1500, "1.5ns"},
                                                         {-2000, "-2ns"}, {1606, "1.606ns"}};
  for (const auto& [picoseconds, label] : labels)
    EXPECT_EQ(Histogram::getAxisLabel(picoseconds), label);
}

TEST(HtmlWriterTest, NamesAreEscapedAndBarsCountThePaths) {
  const json routes = {getRoute("<b>&\"'", -30), getRoute("</script>", 12),
                       getRoute("x", "undefined")};
  const json domain = {{"name", "a<i>"},
                       {"launchClock", "clk"},
                       {"latchClock", "clk"},
                       {"subdomains", json::array({getSubdomain(-5, 3, routes)})}};
  json document = getDocument(json::array({domain}));
  document["settings"]["conventions"] = "sdc";
  document["notes"] = {"note <1>"};
  document["warnings"] = {"Warning: w&"};
  const std::string page = getPage(document);
  EXPECT_NE(page.find("<dt>Rules</dt><dd>sdc</dd>"), std::string::npos);
  EXPECT_NE(page.find("<li>note &lt;1&gt;</li><li>Warning: w&amp;</li>"), std::string::npos);
  EXPECT_EQ(page.find("<b>&"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_EQ(page.find("</script>"), page.rfind("</script>"));
  EXPECT_NE(page.find("&lt;b&gt;&amp;&quot;&#39;"), std::string::npos);
  EXPECT_NE(page.find("&lt;/script&gt;"), std::string::npos);
  // Two paths with a slack value in the setup histogram; the third is named.
  unsigned long bars = 0;
  for (std::size_t at = page.find("data-count=\""); at != std::string::npos;
       at = page.find("data-count=\"", at + 1))
    bars += std::stoul(page.substr(at + 12));
  EXPECT_EQ(bars, 2U);
  EXPECT_NE(page.find("(1 without a slack value, not shown)"), std::string::npos);
  EXPECT_NE(page.find("worst <span class=\"worst negative\" data-ps=\"-30\">-30ps"),
            std::string::npos);
  // The expanded path: the check arc adds nothing to the data delay.
  EXPECT_NE(page.find("<td>r/D<td>IOPath<td>100ps<td>100ps<tr>"), std::string::npos);
  EXPECT_NE(page.find("<td>r/CK<td>SetupHold<td>20ps<td>-</table>"), std::string::npos);
}

}  // namespace
