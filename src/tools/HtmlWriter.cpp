#include "HtmlWriter.h"

#include "Histogram.h"

#include <Morva/Delay.h>
#include <Morva/Frequency.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace MorvaTool {

namespace {

using json = nlohmann::ordered_json;

const char* const kStyle = R"(<style>
:root{--ink:#1d232b;--muted:#5d6773;--rule:#d3d8de;--band:#f3f5f7;--bar:#3f73b5;--bad:#c8362d}
body{font:14px/1.4 system-ui,sans-serif;color:var(--ink);max-width:1240px;margin:0 auto;padding:0 20px 40px}
h1{font-size:22px;margin:18px 0 4px}h2{font-size:18px;margin:28px 0 8px;border-bottom:2px solid var(--rule)}
h3{font-size:15px;margin:18px 0 6px}.muted{color:var(--muted)}
table{border-collapse:collapse;margin:6px 0 12px;font-size:13px}
th,td{padding:3px 8px;border-bottom:1px solid var(--rule);text-align:left;vertical-align:top;white-space:nowrap}
th{background:var(--band);font-weight:600}thead th{cursor:pointer;user-select:none}
thead th[aria-sort=ascending]::after{content:" \25B2"}thead th[aria-sort=descending]::after{content:" \25BC"}
td.n{text-align:right;font-variant-numeric:tabular-nums}.negative{color:var(--bad);font-weight:600}
tr.first td{border-top:2px solid var(--rule)}td.name{white-space:normal;overflow-wrap:break-word;max-width:320px}
#domains th{white-space:normal;vertical-align:bottom}
dl.facts{display:grid;grid-template-columns:max-content 1fr;gap:2px 16px;margin:8px 0}
dl.facts dt{color:var(--muted)}dl.facts dd{margin:0}
.figures{display:flex;flex-wrap:wrap;gap:16px}
figure{margin:0;flex:1 1 560px;max-width:600px;border:1px solid var(--rule);padding:6px}
figcaption{font-size:13px;margin-bottom:4px}
svg.histogram{width:100%;height:auto;font-size:11px}svg .axis,svg .tick{stroke:var(--muted)}
svg text{fill:var(--ink)}.bar{fill:var(--bar)}.bar.negative{fill:var(--bad)}
details summary{cursor:pointer;color:var(--bar)}table.poles{margin:4px 0;font-size:12px}
table.poles td:nth-child(n+3){text-align:right;font-variant-numeric:tabular-nums}
ul.notes li{margin:2px 0}
@media print{body{max-width:none;padding:0;font-size:10px}thead th{cursor:auto}
table{font-size:10px}th,td{padding:2px 4px;white-space:normal}figure{flex:1 1 45%}
figure,tr{break-inside:avoid}h2,h3{break-after:avoid}details summary{color:var(--ink)}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}}
</style>
)";

// Sorts a table's body by the clicked heading: numbers by their data-v,
// other cells by their text; a second click reverses the order.
const char* const kScript = R"(<script>
document.querySelectorAll("table.sortable > thead th").forEach(function (th) {
  th.addEventListener("click", function () {
    var body = th.closest("table").tBodies[0], column = th.cellIndex;
    var up = th.getAttribute("aria-sort") !== "ascending";
    Array.prototype.forEach.call(th.parentNode.cells, function (c) { c.removeAttribute("aria-sort"); });
    th.setAttribute("aria-sort", up ? "ascending" : "descending");
    var key = function (row) {
      var cell = row.cells[column], value = cell.getAttribute("data-v");
      return value === null ? cell.textContent : Number(value);
    };
    Array.prototype.slice.call(body.rows).sort(function (a, b) {
      var x = key(a), y = key(b);
      var order = typeof x === "number" && typeof y === "number" ? x - y : String(x).localeCompare(String(y));
      return up ? order : -order;
    }).forEach(function (row) { body.appendChild(row); });
  });
});
</script>
)";

const json& getMember(const json& object, const char* key) {
  static const json kNothing;
  if (!object.is_object()) return kNothing;
  const auto found = object.find(key);
  return found == object.end() ? kNothing : *found;
}

const json& getArray(const json& object, const char* key) {
  static const json kEmpty = json::array();
  const json& value = getMember(object, key);
  return value.is_array() ? value : kEmpty;
}

std::optional<std::int64_t> getPicoseconds(const json& value) {
  if (!value.is_number_integer()) return std::nullopt;
  return value.get<std::int64_t>();
}

// A delay of the document (picoseconds or the name of a code) back as the
// library's delay, so that its text reads as in the console reports.
Morva::Delay getDelay(const json& value) {
  if (const auto picoseconds = getPicoseconds(value))
    return Morva::Delay(static_cast<int>(*picoseconds));
  if (value == "minimum") return Morva::Delay::getMinimum();
  if (value == "maximum") return Morva::Delay::getMaximum();
  return Morva::Delay::getUndefined();
}

// A time as the console reports write a delay (120ps, 1.606ns), for any
// number of picoseconds: sums of slacks can leave the range of a delay.
std::string getTimeText(std::int64_t picoseconds) {
  if (picoseconds >= -999 && picoseconds <= 999) return std::to_string(picoseconds) + "ps";
  char text[32];
  std::snprintf(text, sizeof text, "%.3fns", static_cast<double>(picoseconds) / 1000.0);
  return text;
}

std::string getDelayText(const json& value) {
  if (value.is_null()) return "-";
  if (const auto picoseconds = getPicoseconds(value)) return getTimeText(*picoseconds);
  return getDelay(value)._getLabel();
}

std::string getFrequencyText(const json& value) {
  if (!value.is_number_unsigned()) return "-";
  return Morva::Frequency(value.get<unsigned long>())._getLabel();
}

std::string getString(const json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

void writeText(std::ostream& out, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char* entity = nullptr;
    switch (text[index]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      case '\'':
        entity = "&#39;";
        break;
      default:
        continue;
    }
    out.write(text.data() + start, static_cast<std::streamsize>(index - start)) << entity;
    start = index + 1;
  }
  out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

// A table cell holding a name.
void writeNameCell(std::ostream& out, std::string_view text) {
  out << "<td class=\"name\">";
  writeText(out, text);
  out << "</td>";
}

// A right-aligned cell holding a delay, sortable by its picoseconds and
// marked when negative. A slack left out (null) belongs to paths no clock
// edge times.
void writeDelayCell(std::ostream& out, const json& value, bool slack = false) {
  const auto picoseconds = getPicoseconds(value);
  out << "<td class=\"n" << (slack && picoseconds && *picoseconds < 0 ? " negative" : "") << '"';
  if (picoseconds) out << " data-v=\"" << *picoseconds << "\" data-ps=\"" << *picoseconds << '"';
  out << '>' << (slack && value.is_null() ? "unconstrained" : getDelayText(value)) << "</td>";
}

// The worst (0 when none is negative) and total negative slack of one kind.
struct NegativeSlack {
  std::int64_t worst = 0;
  std::int64_t total = 0;
};

struct NegativeSlacks {
  NegativeSlack setup;
  NegativeSlack hold;
};

// The figures a domain or the document states ("wns" and "tns").
NegativeSlacks getNegativeSlacks(const json& holder) {
  const json& worst = getMember(holder, "wns");
  const json& total = getMember(holder, "tns");
  const auto read = [](const json& value) { return getPicoseconds(value).value_or(0); };
  return {{read(getMember(worst, "setup")), read(getMember(total, "setup"))},
          {read(getMember(worst, "hold")), read(getMember(total, "hold"))}};
}

// How the path tables of a domain show the clock delays of a path.
struct ClockColumn {
  const char* heading;
  int sign;  // 1: the skew; -1: the negated skew; 0: none ("-")
};

ClockColumn getClockColumn(const json& domain) {
  const bool launch = !getMember(domain, "launchClock").is_null();
  const bool latch = !getMember(domain, "latchClock").is_null();
  if (latch && !launch) return {"Latch Clock Delay", 1};
  if (launch && !latch) return {"Launch Clock Delay", -1};
  return {"Clock Skew", launch ? 1 : 0};
}

const char* getSettingName(const std::string& key) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"longest", "Setup paths"}, {"shortest", "Hold paths"}, {"count", "Paths kept"},
      {"limit", "Slack limit"},   {"margin", "Slack margin"}, {"tagSlacks", "Slack tagging"},
      {"weights", "Edge weights"}};
  for (const auto& [name, text] : kNames)
    if (key == name) return text;
  return nullptr;
}

std::string getSettingText(const std::string& key, const json& value) {
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if ((key == "limit" || key == "margin") && value == "maximum") return "none";
  if (key == "limit" || key == "margin") return getDelayText(value);
  return getString(value);
}

std::string getDate() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return text;
}

// Writes the page, section by section, from the document.
class Page {
 public:
  Page(const json& document, std::ostream& out) : _document(document), _out(out) {}

  void write();

 private:
  void writeHeader();
  void writeNegativeSlacks();
  void writeNotes();
  void writeDomainTable();
  void writeDomain(const json& domain, std::size_t index);
  void writeHistogram(const json& domain, std::size_t index, bool longest);
  void writePathTable(const json& domain, const json& subdomain, bool longest);
  void writePath(const json& route, std::size_t rank, const ClockColumn& clock);
  void writePoles(const json& route);
  void writeNegativeSlackRow(const std::string& name, const NegativeSlacks& slacks,
                             const char* rowClass);
  bool searches(bool longest) const;
  unsigned long countPaths(const char* key) const;

  const json& _document;
  std::ostream& _out;
};

bool Page::searches(bool longest) const {
  return getMember(getMember(_document, "settings"), longest ? "longest" : "shortest") == true;
}

unsigned long Page::countPaths(const char* key) const {
  unsigned long count = 0;
  for (const json& domain : getArray(_document, "domains"))
    for (const json& subdomain : getArray(domain, "subdomains"))
      count += getArray(subdomain, key).size();
  return count;
}

void Page::write() {
  _out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
          "<meta name=\"viewport\" content=\"width=device-width\"><title>Timing report: ";
  const json& archives = getArray(_document, "archives");
  for (std::size_t index = 0; index < archives.size(); ++index)
    writeText(_out, (index > 0 ? ", " : "") + getString(archives[index]));
  _out << "</title>\n" << kStyle << "</head>\n<body>\n";
  writeHeader();
  writeNegativeSlacks();
  writeNotes();
  writeDomainTable();
  // Domain sections show paths; without a path search there are none.
  const json& domains = getArray(_document, "domains");
  if (searches(true) || searches(false))
    for (std::size_t index = 0; index < domains.size(); ++index) writeDomain(domains[index], index);
  _out << kScript << "</body></html>\n";
}

void Page::writeHeader() {
  _out << "<header><h1>Timing report</h1><dl class=\"facts\"><dt>Archives</dt><dd>";
  const json& archives = getArray(_document, "archives");
  for (std::size_t index = 0; index < archives.size(); ++index) {
    if (index > 0) _out << "<br>";
    writeText(_out, getString(archives[index]));
  }
  _out << "</dd><dt>Written</dt><dd>" << getDate() << " by ";
  writeText(_out, getString(getMember(_document, "tool")));
  _out << "</dd>";
  // The options on one line; the rules the relationships follow on their own.
  _out << "<dt>Options</dt><dd>";
  bool first = true;
  for (const auto& [key, value] : getMember(_document, "settings").items()) {
    if (key == "conventions") continue;
    const char* name = getSettingName(key);
    _out << (first ? "" : " &middot; ");
    first = false;
    writeText(_out, name ? name : key);
    _out << ": ";
    writeText(_out, getSettingText(key, value));
  }
  _out << "</dd>";
  const json& conventions = getMember(getMember(_document, "settings"), "conventions");
  if (!conventions.is_null()) {
    _out << "<dt>Rules</dt><dd>";
    writeText(_out, getString(conventions));
    _out << "</dd>";
  }
  unsigned long subdomains = 0;
  for (const json& domain : getArray(_document, "domains"))
    subdomains += getArray(domain, "subdomains").size();
  _out << "<dt>Totals</dt><dd>" << getArray(_document, "domains").size() << " domains, "
       << subdomains << " subdomains, <span id=\"setup-paths\">" << countPaths("longestRoutes")
       << "</span> setup paths, <span id=\"hold-paths\">" << countPaths("shortestRoutes")
       << "</span> hold paths, <span id=\"violations\">";
  writeText(_out, getString(getMember(_document, "violations")));
  _out << "</span> with a negative slack</dd></dl></header>\n";
}

void Page::writeNegativeSlackRow(const std::string& name, const NegativeSlacks& slacks,
                                 const char* rowClass) {
  _out << "<tr class=\"" << rowClass << "\">";
  writeNameCell(_out, name);
  for (const std::int64_t value :
       {slacks.setup.worst, slacks.setup.total, slacks.hold.worst, slacks.hold.total})
    writeDelayCell(_out, value, true);
  _out << "</tr>";
}

void Page::writeNegativeSlacks() {
  _out << "<section id=\"negative-slack\"><h2>Worst and total negative slack</h2>"
          "<table><tr><th>Domain</th><th>Setup WNS</th><th>Setup TNS</th><th>Hold WNS</th>"
          "<th>Hold TNS</th></tr>";
  for (const json& domain : getArray(_document, "domains"))
    writeNegativeSlackRow(getString(getMember(domain, "name")), getNegativeSlacks(domain),
                          "domain");
  writeNegativeSlackRow("Total", getNegativeSlacks(_document), "first total");
  _out << "</table></section>\n";
}

void Page::writeNotes() {
  const json& notes = getArray(_document, "notes");
  const json& warnings = getArray(_document, "warnings");
  _out << "<section id=\"notes\"><h2>Notes and warnings</h2>";
  if (notes.empty() && warnings.empty()) {
    _out << "<p class=\"muted\">None.</p></section>\n";
    return;
  }
  _out << "<ul class=\"notes\">";
  for (const json* list : {&notes, &warnings})
    for (const json& note : *list) {
      _out << "<li>";
      writeText(_out, getString(note));
      _out << "</li>";
    }
  _out << "</ul></section>\n";
}

void Page::writeDomainTable() {
  _out << "<section id=\"domains\"><h2>Domains</h2><table class=\"sortable\"><thead><tr>"
          "<th>Domain</th><th>Source</th><th>Target</th><th>Required frequency</th>"
          "<th>Maximum frequency</th><th>Hold slack</th><th>Minimum data arrival time</th>"
          "<th>Minimum required relationship</th><th>Setup slack</th>"
          "<th>Maximum data arrival time</th><th>Maximum required relationship</th></tr></thead>"
          "<tbody>";
  for (const json& domain : getArray(_document, "domains")) {
    bool first = true;
    for (const json& subdomain : getArray(domain, "subdomains")) {
      _out << (first ? "<tr class=\"first\">" : "<tr>");
      first = false;
      writeNameCell(_out, getString(getMember(domain, "name")));
      writeNameCell(_out, getString(getMember(subdomain, "source")));
      writeNameCell(_out, getString(getMember(subdomain, "target")));
      for (const char* key : {"requiredFrequency", "maximumFrequency"}) {
        const json& frequency = getMember(subdomain, key);
        _out << "<td class=\"n\"";
        if (frequency.is_number_unsigned())
          _out << " data-v=\"" << frequency.get<unsigned long>() << '"';
        _out << '>' << getFrequencyText(frequency) << "</td>";
      }
      for (const char* kind : {"hold", "setup"}) {
        const json& summary = getMember(subdomain, kind);
        writeDelayCell(_out, getMember(summary, "slack"), true);
        writeDelayCell(_out, getMember(summary, "arrivalTime"));
        writeDelayCell(_out, getMember(summary, "relationship"));
      }
      _out << "</tr>";
    }
  }
  _out << "</tbody></table></section>\n";
}

void Page::writeDomain(const json& domain, std::size_t index) {
  _out << "<section class=\"domain\" id=\"domain-" << index << "\"><h2>";
  writeText(_out, getString(getMember(domain, "name")));
  _out << "</h2><div class=\"figures\">";
  for (const bool longest : {true, false})
    if (searches(longest)) writeHistogram(domain, index, longest);
  _out << "</div>";
  for (const bool longest : {true, false})
    if (searches(longest))
      for (const json& subdomain : getArray(domain, "subdomains"))
        writePathTable(domain, subdomain, longest);
  _out << "</section>\n";
}

void Page::writeHistogram(const json& domain, std::size_t index, bool longest) {
  std::vector<std::int64_t> slacks;
  unsigned long unknown = 0;
  for (const json& subdomain : getArray(domain, "subdomains"))
    for (const json& route : getArray(subdomain, longest ? "longestRoutes" : "shortestRoutes")) {
      if (const auto slack = getPicoseconds(getMember(route, "slack")))
        slacks.push_back(*slack);
      else
        ++unknown;
    }
  const char* kind = longest ? "setup" : "hold";
  _out << "<figure class=\"slack-histogram\" data-domain=\"" << index << "\" data-kind=\"" << kind
       << "\"><figcaption><b>" << (longest ? "Setup" : "Hold") << " slack</b>, " << slacks.size()
       << (slacks.size() == 1 ? " path" : " paths");
  if (!slacks.empty()) {
    const std::int64_t worst = *std::min_element(slacks.begin(), slacks.end());
    _out << ", worst <span class=\"worst" << (worst < 0 ? " negative" : "") << "\" data-ps=\""
         << worst << "\">" << getTimeText(worst) << "</span>";
  }
  if (unknown > 0) _out << " (" << unknown << " without a slack value, not shown)";
  _out << "</figcaption>";
  Histogram(slacks).writeSvg(_out);
  _out << "</figure>";
}

void Page::writePathTable(const json& domain, const json& subdomain, bool longest) {
  const json& routes = getArray(subdomain, longest ? "longestRoutes" : "shortestRoutes");
  _out << "<h3>" << (longest ? "Longest paths (setup), " : "Shortest paths (hold), ");
  writeText(_out, getString(getMember(subdomain, "name")));
  _out << "</h3>";
  if (routes.empty()) {
    _out << "<p class=\"muted\">Paths not computed</p>";
    return;
  }
  const ClockColumn clock = getClockColumn(domain);
  _out << "<table class=\"sortable paths\" data-kind=\"" << (longest ? "setup" : "hold")
       << "\"><thead><tr><th>#</th><th>Slack</th><th>Source</th><th>Target</th>"
          "<th>Data delay</th><th>"
       << clock.heading << "</th><th>" << (longest ? "Setup/Recovery" : "Hold/Removal")
       << "</th><th>Depth</th><th>Note</th><th>Poles</th></tr></thead><tbody>";
  for (std::size_t rank = 0; rank < routes.size(); ++rank) writePath(routes[rank], rank + 1, clock);
  _out << "</tbody></table>";
}

void Page::writePath(const json& route, std::size_t rank, const ClockColumn& clock) {
  _out << "<tr><td class=\"n\" data-v=\"" << rank << "\">" << rank << "</td>";
  writeDelayCell(_out, getMember(route, "slack"), true);
  writeNameCell(_out, getString(getMember(route, "source")));
  writeNameCell(_out, getString(getMember(route, "target")));
  writeDelayCell(_out, getMember(route, "dataDelay"));
  const json& skew = getMember(route, "skew");
  const auto picoseconds = getPicoseconds(skew);
  if (clock.sign == 0)
    _out << "<td class=\"n\">-</td>";
  else if (clock.sign < 0 && picoseconds)
    writeDelayCell(_out, -*picoseconds);
  else
    writeDelayCell(_out, skew);
  writeDelayCell(_out, getMember(route, "check"));
  _out << "<td class=\"n\">" << getString(getMember(route, "depth")) << "</td><td>";
  writeText(_out, getString(getMember(route, "note")));
  _out << "</td><td>";
  writePoles(route);
  _out << "</td></tr>";
}

// The path pole by pole, as --detail lists it: the edge that reaches each
// pole, its delay as the path uses it, and the data delay so far (the check
// arc into a register shows its time but is not part of the data delay).
void Page::writePoles(const json& route) {
  const json& edges = getArray(route, "edges");
  if (edges.empty()) {
    _out << '-';
    return;
  }
  const bool check = !getMember(route, "check").is_null();
  // The rows leave out their optional end tags: a long path has many.
  _out << "<details><summary>" << edges.size() + 1
       << " poles</summary><table class=\"poles\"><tr><th>Pole<th>Edge<th>Delay<th>Cumulative"
          "<tr><td>";
  writeText(_out, getString(getMember(edges[0], "source")));
  _out << "<td>-<td>-<td>0ps";
  Morva::Delay cumulative(0);
  for (std::size_t index = 0; index < edges.size(); ++index) {
    const json& edge = edges[index];
    const bool last = check && index + 1 == edges.size();
    const Morva::Delay delay = getDelay(getMember(edge, "delay"));
    if (!last) cumulative += delay;
    _out << "<tr><td>";
    writeText(_out, getString(getMember(edge, "target")));
    _out << "<td>";
    writeText(_out, getString(getMember(edge, "purpose")));
    _out << "<td>" << delay._getLabel() << "<td>" << (last ? "-" : cumulative._getLabel());
  }
  _out << "</table></details>";
}

}  // namespace

void writeHtml(const nlohmann::ordered_json& document, std::ostream& out) {
  Page(document, out).write();
}

}  // namespace MorvaTool
