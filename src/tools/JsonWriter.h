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
// route with its slack, delays, note and edges.
// `notes` are the run's notes on the rules (see Notes.h).
nlohmann::ordered_json getAnalysisJson(const Options& options,
                                       const std::vector<std::string>& notes);

// The document as indented text. Names come from archives and file names,
// which need not be UTF-8: each byte that is not valid UTF-8 is written as
// U+FFFD, so that the text stays valid JSON.
std::string getJsonText(const nlohmann::ordered_json& document);

// An output file (the JSON document, the HTML page) written in full or not
// at all: the text goes to a temporary file in the same directory, renamed
// over the final name once complete.
// The temporary file is made by `open`, so that an unwritable place is known
// before the analysis runs; it is removed again unless `commit` succeeded.
class JsonFile {
 public:
  JsonFile() = default;
  JsonFile(const JsonFile&) = delete;
  JsonFile& operator=(const JsonFile&) = delete;
  ~JsonFile();

  // On failure, false with the reason in `error`.
  bool open(const std::string& fileName, std::string& error);
  bool commit(const nlohmann::ordered_json& document, std::string& error);
  // Completes the file with what `write` puts on the stream.
  bool commit(const std::function<void(std::ostream&)>& write, std::string& error);

 private:
  void discard();

  std::string _fileName;
  std::string _temporaryName;
  int _descriptor = -1;
  int _removalSlot = -1;
};

}  // namespace MorvaTool
