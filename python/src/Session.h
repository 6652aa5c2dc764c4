#pragma once

#include "ConsoleBridge.h"
#include "GraphArrays.h"

#include <InputReport.h>
#include <Options.h>

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace MorvaPython {

// What one analysis is asked for, with the command line's meanings. A
// missing limit or margin is the maximum delay (no bound).
struct AnalysisRequest {
  unsigned long count = 50;
  std::optional<long long> limit;
  std::optional<long long> margin;
  bool setup = true;
  bool hold = true;
  bool tagSlacks = false;
  bool weights = false;
  // "literal" or "sdc".
  std::string conventions = "literal";
};

// The one analyzer of the process, owned from Python: created with the
// session, destroyed by `close` (or with the session). Every operation runs
// with the console pointed at the session's Python target; loading and
// analysing run without the GIL, and a session busy in one thread refuses
// calls from another.
class Session {
 public:
  Session(pybind11::object output, bool quiet);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  void close();
  bool isOpen() const { return _open; }
  bool isAnalysed() const { return _analysed; }
  bool hasSlacks() const { return _analysed && _options.tagSlacks; }

  // Loads the archives in order, as the command line does.
  void load(const std::vector<std::string>& archives);
  // One building call (see Builder), run with the GIL.
  void build(const char* operation, const std::function<void()>& call);
  // The command line's analysis sequence; answers the JSON document the
  // command line's --json writes for the same run, as text.
  std::string analyze(const AnalysisRequest& request);
  // The command line's console reports of the last analysis.
  void printReports(bool compact, bool detail);
  GraphArrays readGraph();

 private:
  void check(const char* operation) const;
  template <class Step>
  void run(const char* operation, bool released, Step step);

  MorvaTool::Options _options;
  // What each archive's load told of its lines.
  std::vector<std::unique_ptr<MorvaTool::InputReport>> _inputs;
  std::unique_ptr<ConsoleBridge> _console;
  bool _open = false;
  bool _busy = false;
  bool _analysed = false;
};

}  // namespace MorvaPython
