// morva: loads timing archives into one analyzer, analyses every clock
// domain and prints the domain report and the path reports; optionally
// writes the results as JSON and as an HTML page. The options and exit statuses are listed by
// `morva --help` and described in docs/user-guide.md.

#include "ArchiveInput.h"
#include "HtmlWriter.h"
#include "InputReport.h"
#include "Interruption.h"
#include "JsonWriter.h"
#include "MessageRecorder.h"
#include "Notes.h"
#include "Options.h"
#include "OutputFile.h"
#include "Reports.h"
#include "Summary.h"
#include "Verdict.h"

#include <Importer.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Morva/Domain.h>
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace MorvaTool {

namespace {

// Whether `descriptor` is a pipe whose reading end is closed: the reader
// (`head`, a pager) wants no more, which ends the run without a message.
bool isClosedPipe(int descriptor) {
  pollfd entry{descriptor, 0, 0};
  return poll(&entry, 1, 0) > 0 && (entry.revents & POLLERR) != 0;
}

// One run of the command line: the analyzer lives as long as the process.
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
  // The analyzer is left to the end of the process, which gives its memory
  // back whole: destroying a large design object by object only costs
  // time (an eighth of a run on a million edges).
  ~Run() { std::cout.rdbuf(_standardOutput); }

  // The status of the run: the steps' own, or Failure when an archive had
  // lines rejected or misread (unless --lenient), told after the results.
  int execute();

 private:
  int executeSteps();
  // Runs one step; on an exception, answers its message.
  template <class Step>
  static std::optional<std::string> getFailure(Step step);
  // Runs one step; on an exception, reports it on standard error after
  // what the console already holds, and answers false.
  template <class Step>
  bool attempt(const std::string& what, Step step);
  // Loads one archive, its lines' problems reported with their place.
  // Like attempt, for design files: a read error is reported at the file
  // and line it names.
  template <class Step>
  bool importDesign(const std::string& what, Step step);
  bool load(const std::string& archive);
  bool hasInputProblems() const;
  void fail(const std::string& what, const std::string& message);
  // Whether the console output is still written; a closed pipe stops the
  // run quietly (status Success), any other write error with a message.
  bool isWritable();
  bool analyze();
  bool writeJson();
  bool writeHtml();
  // The verdict, the notes on the rules and, when a file asks for the
  // document of the results, its closing members; false when that failed.
  bool conclude(bool& violated);

  const Options& _options;
  int _descriptor;
  std::streambuf* _standardOutput;
  std::optional<MessageRecorder> _recorder;
  OutputFile _jsonFile;
  OutputFile _htmlFile;
  std::vector<std::unique_ptr<InputReport>> _inputs;
  std::vector<std::string> _notes;
  // The members that close the document: the run's messages and inputs.
  nlohmann::ordered_json _tail = nlohmann::ordered_json::object();
  DesignWarnings _designWarnings{_inputs, std::cerr};
  int _status = Success;
};

template <class Step>
std::optional<std::string> Run::getFailure(Step step) {
  try {
    step();
    return std::nullopt;
  } catch (const MorvaImport::ReadError&) {
    throw;  // design files: reported at their file and line by importDesign
  } catch (const Orvek::Exception& error) {
    return error.getMessage() + " (at " + error.getLocation() + ")";
  } catch (const std::exception& error) {
    return error.what();
  }
}

template <class Step>
bool Run::attempt(const std::string& what, Step step) {
  const std::optional<std::string> failure = getFailure(step);
  if (failure) fail(what, *failure);
  return !failure;
}

template <class Step>
bool Run::importDesign(const std::string& what, Step step) {
  // The readers' warnings are counted like an archive's misread lines.
  struct Listening {
    MorvaImport::WarningListener* previous;
    ~Listening() { MorvaImport::setWarningListener(previous); }
  } listening{MorvaImport::setWarningListener(&_designWarnings)};
  try {
    return attempt(what, step);
  } catch (const MorvaImport::ReadError& error) {
    const MorvaImport::Message& message = error.getRecord();
    fail(message.getPlace().empty() ? what : message.getPlace(), message.text);
    return false;
  }
}

bool Run::load(const std::string& archive) {
  ArchiveInput input(archive);
  std::string error;
  if (!input.prepare(error)) {
    fail(input.getName(), error);
    return false;
  }
  // The loader's console messages about lines are shown by the report,
  // with the archive's name and bounded; the rest of the console passes.
  ConsoleFilter filter(std::cout);
  std::ostream filtered(&filter);
  _inputs.push_back(std::make_unique<InputReport>(input.getName(), std::cerr));
  InputReport& report = *_inputs.back();
  report.setFilter(&filter);
  Morva::Archive loader(input.getLoadName());
  loader.setListener(&report);
  Orvek::console.setOutput(filtered);
  const std::optional<std::string> failure = getFailure([&loader] { loader.load(); });
  Orvek::console.setOutput(std::cout);
  report.setFilter(nullptr);
  if (!failure) return true;
  const std::string& text = report.getFailureText();
  fail(report.getFailurePlace(), *failure + (text.empty() ? "" : " in \"" + text + "\""));
  return false;
}

bool Run::hasInputProblems() const {
  for (const std::unique_ptr<InputReport>& input : _inputs)
    if (input->hasProblems()) return true;
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

bool Run::analyze() {
  Morva::Analyzer& analyzer = *Morva::analyzer;
  if (!attempt("analysis", [&analyzer] {
        analyzer.createDomains();
        if (!analyzer.cpathsAchieved()) analyzer.achieveConstrainedPaths();
      }))
    return false;
  // One domain at a time, so that a failure names its domain; the weights,
  // which need every domain's slacks, come last.
  const auto launch = [this, &analyzer](const Morva::Analyzer::DomainSet& domains, bool weights) {
    analyzer.launch(Orvek::SetCollection<Morva::Domain*, Morva::Analyzer::DomainSetLess>(domains),
                    _options.tagSlacks, weights, _options.searchesLongest(),
                    _options.searchesShortest(), _options.count, _options.margin, _options.limit);
  };
  for (Morva::Domain* domain : analyzer.getDomainSet())
    if (!attempt("analysis of domain " + domain->getName(),
                 [&launch, domain] { launch({domain}, false); }))
      return false;
  return !_options.weights || attempt("analysis", [&launch] { launch({}, true); });
}

bool Run::writeJson() {
  std::string error;
  const auto write = [this](std::ostream& output) {
    return attempt("report", [&] { writeAnalysisJson(output, _options, _notes, _tail); });
  };
  if (!_options.hasJsonOnStandardOutput()) {
    if (!write(_jsonFile.getStream())) return false;
    if (_jsonFile.commit(error)) return true;
    fail("JSON output", error);
    return false;
  }
  std::ostream output(_standardOutput);
  if (!write(output)) return false;
  if (output.flush()) return true;
  if (isClosedPipe(STDOUT_FILENO)) return false;
  fail("JSON output", "cannot write to standard output");
  return false;
}

bool Run::writeHtml() {
  std::string error;
  if (!attempt("report", [this] {
        MorvaTool::writeHtml(getAnalysisJson(_options, _notes, _tail), _htmlFile.getStream());
      }))
    return false;
  if (_htmlFile.commit(error)) return true;
  fail("HTML output", error);
  return false;
}

bool Run::conclude(bool& violated) {
  return attempt("report", [this, &violated] {
    violated = countViolations(_options) > 0 || getVerdict(_options).isViolated();
    _notes = getNotes(_options);
    // After the reports; with -q on standard error, so that standard output
    // keeps the tables alone.
    std::ostream& out = _options.quiet ? std::cerr : Orvek::console.getOutput();
    for (const std::string& note : _notes) out << "note: " << note << '\n';
    if (!_recorder) return;  // neither JSON nor HTML asked for
    // The messages as they stand now: writing the documents adds none.
    _tail["warnings"] = _recorder->getMessages();
    nlohmann::ordered_json& input = _tail["input"] = nlohmann::ordered_json::array();
    for (const std::unique_ptr<InputReport>& report : _inputs) input.push_back(report->getJson());
  });
}

int Run::execute() {
  const int status = executeSteps();
  std::cout.flush();
  for (const std::unique_ptr<InputReport>& input : _inputs) input->printSummary();
  return !_options.lenient && hasInputProblems() ? Failure : status;
}

int Run::executeSteps() {
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
    const MorvaImport::FileKind kind =
        file == "-" ? MorvaImport::FileKind::Archive : MorvaImport::detectKind(file);
    if (kind == MorvaImport::FileKind::Archive)
      archives.push_back(file);
    else if (!importDesign(file, [&] { importer.read(file, kind); }) || !isWritable())
      return _status;
  }
  if (!importer.isEmpty() &&
      (!importDesign("design", [&importer] { importer.build(); }) || !isWritable()))
    return _status;
  for (const std::string& archive : archives)
    if (!load(archive) || !isWritable()) return _status;
  if (importer.hasConstraints() &&
      (!importDesign("constraints", [&importer] { importer.constrain(); }) || !isWritable()))
    return _status;
  if (_options.conventionsFromSdc)
    Orvek::console.print(
        "Rules: sdc (SDC constraints read; --conventions literal for the "
        "library's own)",
        "");
  if (_options.stats && (!attempt("summary", printSummary) || !isWritable())) return _status;
  if (!analyze() || !isWritable()) return _status;
  bool stopped = false;
  const auto keepGoing = [this, &stopped] {
    stopped = stopped || !isWritable();
    return !stopped;
  };
  if (!attempt("report", [this, &keepGoing] { printReports(_options, keepGoing); }) || stopped ||
      !isWritable())
    return _status;
  bool violated = false;
  if (!conclude(violated) || !isWritable()) return _status;
  if (_options.hasJson() && !writeJson()) return _status;
  if (_options.hasHtml() && !writeHtml()) return _status;
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
