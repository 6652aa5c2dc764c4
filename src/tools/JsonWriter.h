#pragma once

#include "Options.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace MorvaTool {

// The results of an analysis as one JSON document (the schema is described
// in docs/user-guide.md): the settings, every domain with its subdomains'
// summary delays, relations, slacks and frequencies, and every reported
// route with its slack, delays, note and edges; the members of `tail` (an
// object: the run's messages and inputs) close it.
// `notes` are the run's notes on the rules (see Notes.h).
nlohmann::ordered_json getAnalysisJson(const Options& options,
                                       const std::vector<std::string>& notes,
                                       const nlohmann::ordered_json& tail = {});

// The same document written to `output` as `getJsonText` would write it,
// as it is made: memory does not grow with the document.
void writeAnalysisJson(std::ostream& output, const Options& options,
                       const std::vector<std::string>& notes, const nlohmann::ordered_json& tail);

// The document as indented text. Names come from archives and file names,
// which need not be UTF-8: each byte that is not valid UTF-8 is written as
// U+FFFD, so that the text stays valid JSON.
std::string getJsonText(const nlohmann::ordered_json& document);

}  // namespace MorvaTool
