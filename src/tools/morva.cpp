// morva: loads timing archives into one analyzer, analyses every clock
// domain and prints the domain report and the path reports; optionally
// writes the results as JSON. The options and exit statuses are listed by
// `morva --help` and described in docs/user-guide.md.

#include "HtmlWriter.h"
#include "Interruption.h"
#include "JsonWriter.h"
#include "MessageRecorder.h"
#include "Notes.h"
#include "Options.h"
#include "Reports.h"
#include "Summary.h"
#include "Verdict.h"

#include <Importer.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace MorvaTool {

namespace {

// Whether `descriptor` is a pipe whose reading end is closed: the reader
// (`head`, a pager) wants no more, which ends the run without a message.
bool isClosedPipe(int descriptor) {
  pollfd entry{descriptor, 0, 0};
  return poll(&entry, 1, 0) > 0 && (entry.revents & POLLERR) != 0;
}

// One run of the command line: the analyzer lives as long as the run.
class Run {
 public:
  // With the JSON on standard output, everything else written to
  // std::cout (the console and the library's debug traces) goes to
  // standard error instead, and only the JSON keeps standard output.
  explicit Run(const Options& options)
      : _options(options),
        _descriptor(options.hasJsonOnStandardOutput() ? STDERR_FILENO : STDOUT_FILENO),
        _standardOutput(options.hasJsonOnStandardOutput() ? std::cout.rdbuf(std::clog.rdbuf())
                                                          : std::cout.rdbuf()) {
    // The warnings and errors of the run are kept for the written results.
    if (options.hasJson() || options.hasHtml()) {
      _recorder.emplace(std::cout.rdbuf());
      std::cout.rdbuf(&*_recorder);
    }
    Orvek::console.setOutput(std::cout);
    Orvek::console.setProgress(!options.quiet);
    Orvek::setDebug(options.debug);
    Morva::Analyzer::create();
    Morva::analyzer->setConventions(options.conventions);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  ~Run() {
    if (Morva::analyzer) Morva::analyzer->destroy();
    std::cout.rdbuf(_standardOutput);
  }

  int execute();

 private:
  // Runs one step; on an exception, reports it on standard error after
  // what the console already holds, and answers false.
  template <class Step>
  bool attempt(const std::string& what, Step step);
  void fail(const std::string& what, const std::string& message);
  // Whether the console output is still written; a closed pipe stops the
  // run quietly (status Success), any other write error with a message.
  bool isWritable();
  void analyze() const;
  bool writeJson(const nlohmann::ordered_json& document);
  bool writeHtmlFile(const nlohmann::ordered_json& document);

  const Options& _options;
  int _descriptor;
  std::streambuf* _standardOutput;
  std::optional<MessageRecorder> _recorder;
  JsonFile _jsonFile;
  JsonFile _htmlFile;
  int _status = Success;
};

template <class Step>
bool Run::attempt(const std::string& what, Step step) {
  try {
    step();
    return true;
  } catch (const MorvaImport::ReadError& error) {
    // The message names the file and line itself.
    std::cout.flush();
    std::cerr << "morva: " << error.what() << std::endl;
    _status = Failure;
  } catch (const Orvek::Exception& error) {
    fail(what, error.getMessage() + " (at " + error.getLocation() + ")");
  } catch (const std::exception& error) {
    fail(what, error.what());
  }
  return false;
}

void Run::fail(const std::string& what, const std::string& message) {
  std::cout.flush();
  std::cerr << "morva: " << what << ": " << message << std::endl;
  _status = Failure;
}

bool Run::isWritable() {
  if (std::cout.flush()) return true;
  if (isClosedPipe(_descriptor)) {
    _status = Success;
  } else {
    std::cerr << "morva: cannot write the reports" << std::endl;
    _status = Failure;
  }
  return false;
}

void Run::analyze() const {
  Morva::Analyzer& analyzer = *Morva::analyzer;
  analyzer.createDomains();
  if (!analyzer.cpathsAchieved()) analyzer.achieveConstrainedPaths();
  analyzer.launch(analyzer.getDomains(), _options.tagSlacks, _options.weights,
                  _options.searchesLongest(), _options.searchesShortest(), _options.count,
                  _options.margin, _options.limit);
}

bool Run::writeJson(const nlohmann::ordered_json& document) {
  std::string error;
  if (!_options.hasJsonOnStandardOutput()) {
    if (_jsonFile.commit(document, error)) return true;
    fail("JSON output", error);
    return false;
  }
  std::ostream output(_standardOutput);
  output << getJsonText(document);
  if (output.flush()) return true;
  if (isClosedPipe(STDOUT_FILENO)) return false;
  fail("JSON output", "cannot write to standard output");
  return false;
}

bool Run::writeHtmlFile(const nlohmann::ordered_json& document) {
  std::string error;
  if (_htmlFile.commit([&document](std::ostream& out) { writeHtml(document, out); }, error))
    return true;
  fail("HTML output", error);
  return false;
}

int Run::execute() {
  std::string error;
  if (_options.hasJson() && !_options.hasJsonOnStandardOutput() &&
      !_jsonFile.open(_options.json, error)) {
    fail("JSON output", error);
    return _status;
  }
  if (_options.hasHtml() && !_htmlFile.open(_options.html, error)) {
    fail("HTML output", error);
    return _status;
  }
  // Design files are read and built first; the archives may then add to them.
  std::vector<std::string> archives;
  MorvaImport::Importer importer(_options.importOptions);
  for (const std::string& file : _options.archives) {
    const MorvaImport::FileKind kind = MorvaImport::detectKind(file);
    if (kind == MorvaImport::FileKind::Archive)
      archives.push_back(file);
    else if (!attempt(file, [&] { importer.read(file, kind); }) || !isWritable())
      return _status;
  }
  if (!importer.isEmpty() &&
      (!attempt("design", [&importer] { importer.build(); }) || !isWritable()))
    return _status;
  for (const std::string& archive : archives)
    if (!attempt(archive, [&archive] { Morva::Archive(archive).load(); }) || !isWritable())
      return _status;
  if (_options.stats && (!attempt("summary", printSummary) || !isWritable())) return _status;
  if (!attempt("analysis", [this] { analyze(); }) || !isWritable()) return _status;
  bool stopped = false;
  const auto keepGoing = [this, &stopped] {
    stopped = stopped || !isWritable();
    return !stopped;
  };
  if (!attempt("report", [this, &keepGoing] { printReports(_options, keepGoing); }) || stopped ||
      !isWritable())
    return _status;
  bool violated = false;
  nlohmann::ordered_json document;
  if (!attempt("report",
               [this, &violated, &document] {
                 violated = countViolations(_options) > 0 || getVerdict(_options).isViolated();
                 const std::vector<std::string> notes = getNotes(_options);
                 // After the reports; with -q on standard error, so that standard
                 // output keeps the tables alone.
                 std::ostream& out = _options.quiet ? std::cerr : Orvek::console.getOutput();
                 for (const std::string& note : notes) out << "note: " << note << '\n';
                 if (!_recorder) return;  // neither JSON nor HTML asked for
                 document = getAnalysisJson(_options, notes);
                 document["warnings"] = _recorder->getMessages();
               }) ||
      !isWritable())
    return _status;
  if (_options.hasJson() && !writeJson(document)) return _status;
  if (_options.hasHtml() && !attempt("HTML output", [this, &document] {
        if (!writeHtmlFile(document)) throw std::runtime_error("not written");
      }))
    return _status;
  return _options.failOnViolation && violated ? Violation : Success;
}

}  // namespace

}  // namespace MorvaTool

int main(int argc, char** argv) {
  // A closed standard output shows as a write error rather than a signal.
  std::signal(SIGPIPE, SIG_IGN);
  MorvaTool::Interruption::install();
  MorvaTool::Options options;
  const int status = MorvaTool::parseOptions(argc, argv, options);
  if (status >= 0) return status;
  return MorvaTool::Run(options).execute();
}
