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

// The text of the page from `start` to the end of that table row.
std::string getRow(const std::string& page, const std::string& start) {
  const std::size_t begin = page.find(start);
  if (begin == std::string::npos) return "";
  return page.substr(begin, page.find("</tr>", begin) - begin);
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

TEST(HtmlWriterTest, NegativeSlacksAreTheDocumentsAndUnconstrainedSlacksSaySo) {
  json domain = {{"name", "B"}, {"subdomains", {getSubdomain(-30, 4, json::array())}}};
  domain["wns"] = {{"setup", -100}, {"hold", 0}};
  domain["tns"] = {{"setup", -250}, {"hold", 0}};
  json document = getDocument(json::array({domain}));
  document["wns"] = {{"setup", -1}, {"hold", -2}};
  // A sum beyond the range of one delay.
  document["tns"] = {{"setup", -5000000000}, {"hold", -4}};
  const std::string page = getPage(document);
  const std::string row = getRow(page, "<tr class=\"domain\"><td class=\"name\">B</td>");
  std::size_t at = 0;
  for (const int value : {-100, -250, 0, 0}) {
    at = row.find("data-ps=\"" + std::to_string(value) + "\"", at);
    ASSERT_NE(at, std::string::npos) << value << " in " << row;
    ++at;
  }
  const std::string statedTotal = getRow(page, "<tr class=\"first total\">");
  EXPECT_NE(statedTotal.find("data-ps=\"-1\""), std::string::npos);
  EXPECT_NE(statedTotal.find("data-ps=\"-4\""), std::string::npos);
  EXPECT_NE(statedTotal.find("data-ps=\"-5000000000\">-5000000.000ns<"), std::string::npos);
  // A slack left out belongs to paths no clock edge times.
  const json open = {
      {"name", "U"},
      {"subdomains", {getSubdomain(nullptr, nullptr, json::array({getRoute("u/CK", nullptr)}))}}};
  const std::string unconstrained = getPage(getDocument(json::array({open})));
  EXPECT_NE(unconstrained.find(">unconstrained</td>"), std::string::npos);
}

TEST(HtmlWriterTest, RecorderPassesTheConsoleOnAndKeepsItsWarnings) {
  std::ostringstream target;
  MorvaTool::MessageRecorder recorder(target.rdbuf());
  std::ostream console(&recorder);
  const std::string text =
      "  Warn~ing: a\nError: b~ c\n| Warning: in a table |\nRemark: r\nLoading x\nError: cut";
  for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
    end = std::min(text.find('~', start), text.size());
    console << text.substr(start, end - start);
  }
  console.put('\n');
  console.flush();
  EXPECT_EQ(
      target.str(),
      "  Warning: a\nError: b c\n| Warning: in a table |\nRemark: r\nLoading x\nError: cut\n");
  EXPECT_EQ(recorder.getMessages(),
            (std::vector<std::string>{"Warning: a", "Error: b c", "Error: cut"}));
  for (std::size_t count = 0; count < MorvaTool::MessageRecorder::kLimit; ++count)
    console << "Warning: more\n";
  const std::vector<std::string> messages = recorder.getMessages();
  ASSERT_EQ(messages.size(), MorvaTool::MessageRecorder::kLimit + 1);
  EXPECT_EQ(messages.back(), "3 more warnings and errors not listed");
}

}  // namespace
