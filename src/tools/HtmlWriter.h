#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>

namespace MorvaTool {

// The results of an analysis, as `getAnalysisJson` gives them, as one
// self-contained HTML page (inline style, SVG and a short script; nothing
// fetched): the run's settings and totals, the worst and total negative
// slack per domain and in total, a slack histogram per domain for setup and
// for hold paths, the domain table, the path tables with every path
// expandable pole by pole, and the run's notes. Written as it goes; every
// name is escaped.
void writeHtml(const nlohmann::ordered_json& document, std::ostream& out);

}  // namespace MorvaTool
