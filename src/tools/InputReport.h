#pragma once

#include <Message.h>
#include <Morva/Archive.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace MorvaTool {

// A console stream that passes every line on to another stream, except the
// lines it is told to skip: the loader's own messages, which the input
// report shows in their place (with the archive's name, and bounded).
class ConsoleFilter : public std::streambuf {
 public:
  explicit ConsoleFilter(std::ostream& target) : _target(target) {}
  ConsoleFilter(const ConsoleFilter&) = delete;
  ConsoleFilter& operator=(const ConsoleFilter&) = delete;
  ~ConsoleFilter() override;

  // The next complete line written is dropped.
  void skipLine() { ++_skipped; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  std::ostream& _target;
  std::string _line;
  unsigned long _skipped = 0;
};

// What one archive's load told of its lines: each rejected or misread line
// is printed as "FILE:LINE: message" on the message stream, at most
// `kShownPerKind` messages of one kind, the others only counted; after the
// results, the counts of what was not shown and one summary line.
class InputReport : public Morva::ArchiveListener {
 public:
  static constexpr unsigned long kShownPerKind = 20;

  InputReport(const std::string& archive, std::ostream& messages);

  // The filter (none by default) told to skip the console line of each
  // rejected line, while the load runs.
  void setFilter(ConsoleFilter* filter) { _filter = filter; }

  void rejected(std::uint64_t line, const std::string& kind, const std::string& message) override;
  void misread(std::uint64_t line, const std::string& kind, const std::string& message) override;
  void stopped(std::uint64_t line, const std::string& text) override;

  // Whether a line was rejected or misread.
  bool hasProblems() const { return _rejected.count > 0 || _misread.count > 0; }
  // The place of a failed load: "FILE:LINE", or "FILE" before any line.
  std::string getFailurePlace() const;
  // The words of the line at which the load failed.
  const std::string& getFailureText() const { return _failureText; }
  // The counts of messages left out, then the summary line.
  void printSummary() const;
  // {"archive", "rejected", "misread", "kinds": {kind: messages}}
  nlohmann::ordered_json getJson() const;

 private:
  // Lines with at least one message of a category, counted once each.
  struct Lines {
    unsigned long count = 0;
    std::uint64_t last = 0;
    void add(std::uint64_t line);
  };

  void note(Lines& lines, std::uint64_t line, const std::string& kind, const std::string& message);

  std::string _archive;
  std::ostream& _messages;
  ConsoleFilter* _filter = nullptr;
  Lines _rejected;
  Lines _misread;
  std::map<std::string, unsigned long> _kinds;
  std::uint64_t _failureLine = 0;
  std::string _failureText;
};

// The design readers' warnings, reported and counted as misread lines of
// their files (kind "design"), an input report per file added to `inputs`.
class DesignWarnings : public MorvaImport::WarningListener {
 public:
  DesignWarnings(std::vector<std::unique_ptr<InputReport>>& inputs, std::ostream& messages)
      : _inputs(inputs), _messages(messages) {}

  void warned(const MorvaImport::Message& message) override;

 private:
  std::vector<std::unique_ptr<InputReport>>& _inputs;
  std::ostream& _messages;
  std::map<std::string, InputReport*> _reports;
};

}  // namespace MorvaTool
