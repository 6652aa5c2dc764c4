#include "SdcReader.h"

#include "Message.h"
#include "SdcConstraints.h"
#include "SdcTcl.h"
#include "TextFile.h"

#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <tcl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/SdcReader";
// Commands a script may run, and seconds it may take, before it is taken
// for one that never ends (a loop without commands runs into the time).
constexpr int kCommandLimit = 20000000;
constexpr long kSecondLimit = 10;
// Times beyond a millisecond are beyond what the delay codes allow.
constexpr double kTimeLimit = 1e9;

// Commands whose constraints the timing model has no place for.
constexpr const char* kIgnored =
    "set_clock_uncertainty set_clock_latency set_clock_transition set_propagated_clock set_load "
    "set_driving_cell set_input_transition set_max_fanout set_max_transition set_max_capacitance "
    "set_min_capacitance set_fanout_load set_timing_derate set_max_area set_operating_conditions "
    "set_wire_load_model set_wire_load_mode set_dont_touch set_dont_touch_network "
    "set_ideal_network set_case_analysis set_disable_timing set_clock_sense set_resistance "
    "set_sense current_design set_ideal_latency set_ideal_transition set_clock_gating_check "
    "set_data_check set_max_time_borrow set_port_fanout_number set_logic_zero set_logic_one "
    "set_logic_dc group_path";

}  // namespace

// One SDC reading: the interpreter with the SDC commands, which create
// clocks and clock groups at once and hand delays and exceptions to the
// constraints kept until `commit`.
class SdcSession {
 public:
  SdcSession(SdcDesign& design, bool lenient);
  ~SdcSession() { Tcl_DeleteInterp(_interp); }
  SdcSession(const SdcSession&) = delete;
  SdcSession& operator=(const SdcSession&) = delete;

  void readText(const std::string& fileName, const std::string& text);
  void commit();

 private:
  using Handler = void (SdcSession::*)(const Arguments&);
  struct Command {
    SdcSession* session;
    Handler handler;
    std::set<std::string> flags;
    std::set<std::string> valued;
  };
  using PathKind = SdcConstraints::PathKind;
  using Exception = SdcConstraints::Exception;

  static int dispatch(ClientData data, Tcl_Interp* interp, int count, Tcl_Obj* const words[]);
  int run(const Command& command, int count, Tcl_Obj* const words[]);
  void add(const char* name, Handler handler, std::set<std::string> flags = {},
           std::set<std::string> valued = {});
  std::size_t findLine();
  [[noreturn]] void fail(const std::string& text) const;
  void warn(const std::string& text) const;
  void setResult(const std::vector<SdcObject>& objects);

  long long toTime(Tcl_Obj* value) const;
  // The objects a value names: design objects keep their kind; a plain
  // name is looked up among the kinds `kinds`, in that order, then as a
  // glob pattern.
  std::vector<SdcObject> getObjects(Tcl_Obj* value, const std::vector<ObjectKind>& kinds) const;
  std::vector<SdcObject> getPathObjects(const Arguments& arguments, const std::string& option);
  std::vector<Morva::Pole*> getRoots(Tcl_Obj* value) const;
  Morva::Pole* getClockRoot(const Arguments& arguments) const;

  void query(const Arguments& arguments, ObjectKind kind);
  void getPorts(const Arguments& arguments) { query(arguments, ObjectKind::Port); }
  void getPins(const Arguments& arguments) { query(arguments, ObjectKind::Pin); }
  void getCells(const Arguments& arguments) { query(arguments, ObjectKind::Cell); }
  void getNets(const Arguments& arguments) { query(arguments, ObjectKind::Net); }
  void getClocks(const Arguments& arguments) { query(arguments, ObjectKind::Clock); }
  void allInputs(const Arguments&) { setResult(_design.getInputs()); }
  void allOutputs(const Arguments&) { setResult(_design.getOutputs()); }
  void allRegisters(const Arguments&) { setResult(_design.getRegisters()); }
  void allClocks(const Arguments&) { setResult(_design.find(ObjectKind::Clock, "*")); }
  void setUnits(const Arguments& arguments);
  void createClock(const Arguments& arguments);
  void setClockGroups(const Arguments& arguments);
  void setIODelay(const Arguments& arguments, bool input);
  void setInputDelay(const Arguments& arguments) { setIODelay(arguments, true); }
  void setOutputDelay(const Arguments& arguments) { setIODelay(arguments, false); }
  void setException(const Arguments& arguments, PathKind kind, long long value);
  void setFalsePath(const Arguments& arguments);
  void setMulticyclePath(const Arguments& arguments);
  void setDelayPath(const Arguments& arguments, PathKind kind);
  void setMaxDelay(const Arguments& arguments) { setDelayPath(arguments, PathKind::Maximum); }
  void setMinDelay(const Arguments& arguments) { setDelayPath(arguments, PathKind::Minimum); }
  void print(const Arguments& arguments);
  void ignore(const Arguments& arguments);
  void unknown(const Arguments& arguments);

  SdcDesign& _design;
  const bool _lenient;
  Tcl_Interp* _interp;
  std::vector<std::unique_ptr<Command>> _commands;
  std::string _file;
  std::size_t _line = 0;
  std::optional<ReadError> _failure;
  // Picoseconds per SDC time unit (nanoseconds unless set_units says).
  double _scale = 1000;
  std::set<std::string> _ignored;
  std::size_t _unknownCount = 0;
  SdcConstraints _constraints;
};

SdcSession::SdcSession(SdcDesign& design, bool lenient)
    : _design(design), _lenient(lenient), _constraints(design) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { Tcl_FindExecutable(nullptr); });
  _interp = Tcl_CreateInterp();
  // A constraint file has no business with files, processes or time.
  Tcl_MakeSafe(_interp);
  for (const char* command : {"after", "vwait", "update", "interp"})
    Tcl_DeleteCommand(_interp, command);
  Tcl_LimitTypeSet(_interp, TCL_LIMIT_COMMANDS);
  Tcl_LimitSetCommands(_interp, kCommandLimit);
  const std::set<std::string> query = {"-quiet", "-hierarchical", "-hier", "-nocase"};
  add("get_ports", &SdcSession::getPorts, query);
  add("get_pins", &SdcSession::getPins, query);
  add("get_cells", &SdcSession::getCells, query);
  add("get_nets", &SdcSession::getNets, query);
  add("get_clocks", &SdcSession::getClocks, query);
  add("all_inputs", &SdcSession::allInputs);
  add("all_outputs", &SdcSession::allOutputs);
  add("all_registers", &SdcSession::allRegisters);
  add("all_clocks", &SdcSession::allClocks);
  add("set_units", &SdcSession::setUnits, {},
      {"-time", "-capacitance", "-resistance", "-voltage", "-current", "-power"});
  add("create_clock", &SdcSession::createClock, {"-add"},
      {"-name", "-period", "-waveform", "-comment"});
  add("set_clock_groups", &SdcSession::setClockGroups,
      {"-asynchronous", "-logically_exclusive", "-physically_exclusive"},
      {"-group", "-name", "-comment"});
  const std::set<std::string> ioFlags = {"-clock_fall", "-min",  "-max",
                                         "-add_delay",  "-rise", "-fall"};
  add("set_input_delay", &SdcSession::setInputDelay, ioFlags, {"-clock"});
  add("set_output_delay", &SdcSession::setOutputDelay, ioFlags, {"-clock"});
  const std::set<std::string> ends = {"-from", "-through", "-to", "-comment"};
  add("set_false_path", &SdcSession::setFalsePath, {"-setup", "-hold"}, ends);
  add("set_multicycle_path", &SdcSession::setMulticyclePath, {"-setup", "-hold", "-start", "-end"},
      ends);
  add("set_max_delay", &SdcSession::setMaxDelay, {}, ends);
  add("set_min_delay", &SdcSession::setMinDelay, {}, ends);
  // The script sees no channels: its messages go to the console.
  add("puts", &SdcSession::print);
  std::istringstream ignored(kIgnored);
  for (std::string name; ignored >> name;) add(name.c_str(), &SdcSession::ignore);
  add("unknown", &SdcSession::unknown);
}

void SdcSession::add(const char* name, Handler handler, std::set<std::string> flags,
                     std::set<std::string> valued) {
  _commands.push_back(
      std::make_unique<Command>(Command{this, handler, std::move(flags), std::move(valued)}));
  Tcl_CreateObjCommand(_interp, name, dispatch, _commands.back().get(), nullptr);
}

int SdcSession::dispatch(ClientData data, Tcl_Interp*, int count, Tcl_Obj* const words[]) {
  const Command& command = *static_cast<const Command*>(data);
  return command.session->run(command, count, words);
}

// Nothing may be thrown through the interpreter: a failure becomes a Tcl
// error, and the first one is raised again once the script has stopped.
int SdcSession::run(const Command& command, int count, Tcl_Obj* const words[]) {
  try {
    _line = findLine();
    Tcl_ResetResult(_interp);
    const bool raw = command.handler == &SdcSession::ignore ||
                     command.handler == &SdcSession::unknown ||
                     command.handler == &SdcSession::print;
    (this->*command.handler)(Arguments(count, words, command.flags, command.valued, raw));
    return TCL_OK;
  } catch (const ReadError& error) {
    if (!_failure) _failure = error;
  } catch (const Orvek::Exception& error) {
    if (!_failure) _failure = ReadError(Message{_file, _line, error.getMessage()});
  } catch (const std::exception& error) {
    if (!_failure) _failure = ReadError(Message{_file, _line, error.what()});
  }
  Tcl_SetObjResult(_interp, Tcl_NewStringObj(_failure->getRecord().text.c_str(), -1));
  return TCL_ERROR;
}

// The line of the command running: the innermost frame of the file's
// script (a procedure's frames count from its body, so they are passed).
std::size_t SdcSession::findLine() {
  Tcl_InterpState state = Tcl_SaveInterpState(_interp, TCL_OK);
  std::size_t line = 0;
  int level = 0;
  if (Tcl_EvalEx(_interp, "info frame", -1, 0) == TCL_OK &&
      Tcl_GetIntFromObj(nullptr, Tcl_GetObjResult(_interp), &level) == TCL_OK) {
    for (int frame = level - 1; frame >= 1 && line == 0; --frame) {
      const std::string script = "info frame " + std::to_string(frame);
      if (Tcl_EvalEx(_interp, script.c_str(), -1, 0) != TCL_OK) break;
      Tcl_Obj* info = Tcl_GetObjResult(_interp);
      Tcl_IncrRefCount(info);
      Tcl_Obj* key = Tcl_NewStringObj("type", -1);
      Tcl_Obj* type = nullptr;
      Tcl_Obj* value = nullptr;
      Tcl_IncrRefCount(key);
      if (Tcl_DictObjGet(nullptr, info, key, &type) == TCL_OK && type && getText(type) == "eval") {
        Tcl_SetStringObj(key, "line", -1);
        int number = 0;
        if (Tcl_DictObjGet(nullptr, info, key, &value) == TCL_OK && value &&
            Tcl_GetIntFromObj(nullptr, value, &number) == TCL_OK && number > 0)
          line = static_cast<std::size_t>(number);
      }
      Tcl_DecrRefCount(key);
      Tcl_DecrRefCount(info);
    }
  }
  Tcl_RestoreInterpState(_interp, state);
  return line;
}

void SdcSession::fail(const std::string& text) const {
  MorvaImport::fail(kSource, "read", _file, _line, text);
}

void SdcSession::warn(const std::string& text) const {
  MorvaImport::warn(Message{_file, _line, text});
}

void SdcSession::readText(const std::string& fileName, const std::string& text) {
  _file = fileName;
  Tcl_Time limit;
  Tcl_GetTime(&limit);
  limit.sec += kSecondLimit;
  Tcl_LimitTypeSet(_interp, TCL_LIMIT_TIME);
  Tcl_LimitSetTime(_interp, &limit);
  Tcl_LimitSetGranularity(_interp, TCL_LIMIT_TIME, 1);
  Tcl_Obj* script = Tcl_NewStringObj(text.data(), static_cast<int>(text.size()));
  Tcl_IncrRefCount(script);
  const int status = Tcl_EvalObjEx(_interp, script, TCL_EVAL_GLOBAL);
  Tcl_DecrRefCount(script);
  if (_failure) throw *_failure;
  if (status != TCL_OK) {
    const int line = Tcl_GetErrorLine(_interp);
    _line = line > 0 ? static_cast<std::size_t>(line) : 0;
    fail(Tcl_GetStringResult(_interp));
  }
  if (_unknownCount > 0) {
    noteIgnored(Message{_file, 0, std::to_string(_unknownCount) + " unknown commands skipped"});
    _unknownCount = 0;
  }
}

void SdcSession::setResult(const std::vector<SdcObject>& objects) {
  Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
  for (const SdcObject& object : objects)
    Tcl_ListObjAppendElement(nullptr, list, newObject(object));
  Tcl_SetObjResult(_interp, list);
}

long long SdcSession::toTime(Tcl_Obj* value) const {
  double number = 0;
  if (Tcl_GetDoubleFromObj(nullptr, value, &number) != TCL_OK)
    fail("expected a time, got \"" + getText(value) + "\"");
  const double picoseconds = std::round(number * _scale);
  if (!(std::fabs(picoseconds) <= kTimeLimit)) fail("time out of range: " + getText(value));
  return static_cast<long long>(picoseconds);
}

std::vector<SdcObject> SdcSession::getObjects(Tcl_Obj* value,
                                              const std::vector<ObjectKind>& kinds) const {
  if (const std::optional<SdcObject> object = getObject(value)) return {*object};
  int count = 0;
  Tcl_Obj** elements = nullptr;
  if (Tcl_ListObjGetElements(nullptr, value, &count, &elements) != TCL_OK)
    fail("not a list of objects: \"" + getText(value) + "\"");
  std::vector<SdcObject> objects;
  for (int index = 0; index < count; ++index) {
    Tcl_Obj* element = elements[index];
    const std::string name = getText(element);
    if (const std::optional<SdcObject> object = getObject(element)) {
      objects.push_back(*object);
      continue;
    }
    std::vector<SdcObject> found;
    for (ObjectKind kind : kinds)
      if (found.empty() && _design.has(kind, name)) found.push_back({kind, name});
    for (ObjectKind kind : kinds)
      if (found.empty()) found = _design.find(kind, name);
    if (found.empty()) {
      std::string names;
      for (std::size_t index = 0; index < kinds.size(); ++index)
        names += std::string(index == 0                  ? ""
                             : index + 1 == kinds.size() ? " or "
                                                         : ", ") +
                 getKindName(kinds[index]);
      fail("no " + names + " named \"" + name + "\"");
    }
    objects.insert(objects.end(), found.begin(), found.end());
  }
  return objects;
}

std::vector<Morva::Pole*> SdcSession::getRoots(Tcl_Obj* value) const {
  std::vector<Morva::Pole*> roots;
  for (const SdcObject& object : getObjects(value, {ObjectKind::Clock})) {
    if (object.kind != ObjectKind::Clock)
      fail(std::string("a ") + getKindName(object.kind) + " is not a clock: \"" + object.name +
           "\"");
    const std::vector<Morva::Pole*> found = _design.getClockRoots(object.name);
    roots.insert(roots.end(), found.begin(), found.end());
  }
  return roots;
}

void SdcSession::query(const Arguments& arguments, ObjectKind kind) {
  std::vector<SdcObject> found;
  for (Tcl_Obj* patterns : arguments.getPositionals()) {
    int count = 0;
    Tcl_Obj** elements = nullptr;
    if (Tcl_ListObjGetElements(nullptr, patterns, &count, &elements) != TCL_OK)
      fail(arguments.getCommand() + ": not a list of patterns");
    for (int index = 0; index < count; ++index) {
      const std::vector<SdcObject> matched = _design.find(kind, getText(elements[index]));
      if (matched.empty() && !arguments.has("-quiet"))
        warn(arguments.getCommand() + ": nothing matches \"" + getText(elements[index]) + "\"");
      found.insert(found.end(), matched.begin(), matched.end());
    }
  }
  setResult(found);
}

void SdcSession::setUnits(const Arguments& arguments) {
  arguments.expectPositionals(0);
  Tcl_Obj* time = arguments.get("-time");
  if (!time) return;
  static const std::map<std::string, double> kUnits = {
      {"fs", 0.001}, {"ps", 1}, {"ns", 1000}, {"us", 1000000}};
  const std::string text = getText(time);
  std::size_t end = 0;
  while (end < text.size() &&
         (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
    ++end;
  double factor = 1;
  if (end > 0) {
    try {
      factor = std::stod(text.substr(0, end));
    } catch (const std::exception&) {
      fail("set_units: bad time unit \"" + text + "\"");
    }
  }
  std::string unit = text.substr(end);
  if (unit.size() == 1) unit += 's';  // "-time ns" and "-time n" alike
  const auto found = kUnits.find(unit);
  if (found == kUnits.end() || !(factor > 0))
    fail("set_units: bad time unit \"" + text + "\" (fs, ps, ns or us)");
  _scale = factor * found->second;
}

void SdcSession::createClock(const Arguments& arguments) {
  arguments.expectPositionals(1);
  Tcl_Obj* periodWord = arguments.get("-period");
  if (!periodWord) fail("create_clock: -period missing");
  const long long period = toTime(periodWord);
  if (period < 1) fail("create_clock: the period must be above 0");
  long long rising = 0;
  long long falling = period / 2;
  if (Tcl_Obj* waveform = arguments.get("-waveform")) {
    int count = 0;
    Tcl_Obj** edges = nullptr;
    if (Tcl_ListObjGetElements(nullptr, waveform, &count, &edges) != TCL_OK || count != 2)
      fail("create_clock: a waveform is carried with two edges (rising, falling), not \"" +
           getText(waveform) + "\"");
    rising = toTime(edges[0]);
    falling = toTime(edges[1]);
  }
  std::vector<Morva::Pole*> roots;
  if (!arguments.getPositionals().empty())
    for (const SdcObject& object :
         getObjects(arguments.getPositionals()[0], {ObjectKind::Port, ObjectKind::Pin})) {
      if (object.kind != ObjectKind::Port && object.kind != ObjectKind::Pin)
        fail(std::string("create_clock: a clock starts at a port or pin, not at a ") +
             getKindName(object.kind) + " (\"" + object.name + "\")");
      roots.push_back(_design.getPole(object.name));
    }
  if (roots.empty()) fail("create_clock: no port or pin given (virtual clocks are not carried)");
  const Tcl_Obj* nameWord = arguments.get("-name");
  const std::string name =
      nameWord ? getText(const_cast<Tcl_Obj*>(nameWord)) : roots.front()->getName();
  if (_design.has(ObjectKind::Clock, name))
    fail("create_clock: clock \"" + name + "\" already exists");
  // The model gives every clock one root: a clock on several sources
  // becomes one clock per source, the others named NAME:SOURCE.
  if (roots.size() > 1)
    warn("clock \"" + name + "\" on " + std::to_string(roots.size()) +
         " sources: one clock per source, named " + name + ":SOURCE after the first");
  for (std::size_t index = 0; index < roots.size(); ++index)
    Morva::analyzer->createClock(
        roots[index], index == 0 ? name : name + ":" + roots[index]->getName(),
        Morva::Delay(static_cast<int>(period)), Morva::Delay(static_cast<int>(rising)),
        Morva::Delay(static_cast<int>(falling)));
  _design.addClock(name, roots);
}

void SdcSession::setClockGroups(const Arguments& arguments) {
  arguments.expectPositionals(0);
  const int kinds = (arguments.has("-asynchronous") ? 1 : 0) +
                    (arguments.has("-logically_exclusive") ? 1 : 0) +
                    (arguments.has("-physically_exclusive") ? 1 : 0);
  if (kinds != 1)
    fail(
        "set_clock_groups: give one of -asynchronous, -logically_exclusive, "
        "-physically_exclusive");
  std::vector<std::vector<Morva::Pole*>> groups;
  for (Tcl_Obj* group : arguments.getAll("-group")) groups.push_back(getRoots(group));
  if (groups.empty()) fail("set_clock_groups: -group missing");
  // One group: related to every other clock.
  if (groups.size() == 1) {
    std::vector<Morva::Pole*> others;
    for (const SdcObject& clock : _design.find(ObjectKind::Clock, "*"))
      for (Morva::Pole* root : _design.getClockRoots(clock.name))
        if (std::find(groups[0].begin(), groups[0].end(), root) == groups[0].end())
          others.push_back(root);
    groups.push_back(others);
  }
  for (const std::vector<Morva::Pole*>& group : groups)
    if (group.empty()) fail("set_clock_groups: a group without clocks");
  const bool exclusive = !arguments.has("-asynchronous");
  for (std::size_t first = 0; first < groups.size(); ++first)
    for (std::size_t second = first + 1; second < groups.size(); ++second)
      Morva::analyzer->createClockGroups(Orvek::VectorCollection<Morva::Pole*>(groups[first]),
                                         Orvek::VectorCollection<Morva::Pole*>(groups[second]),
                                         exclusive);
}

Morva::Pole* SdcSession::getClockRoot(const Arguments& arguments) const {
  Tcl_Obj* clock = arguments.get("-clock");
  if (!clock) fail(arguments.getCommand() + ": -clock missing (delays need a clock here)");
  const std::vector<Morva::Pole*> roots = getRoots(clock);
  if (roots.empty()) fail(arguments.getCommand() + ": no clock \"" + getText(clock) + "\"");
  if (roots.size() > 1)
    warn(arguments.getCommand() + ": clock \"" + getText(clock) + "\" has " +
         std::to_string(roots.size()) + " sources; the delay refers to the first, " +
         roots.front()->getName());
  return roots.front();
}

void SdcSession::setIODelay(const Arguments& arguments, bool input) {
  arguments.expectPositionals(2);
  SdcConstraints::DelaySetting setting;
  setting.delay = toTime(arguments.getPositional(0, "delay"));
  setting.root = getClockRoot(arguments);
  setting.falling = arguments.has("-clock_fall");
  const bool both = arguments.has("-min") == arguments.has("-max");
  setting.minimum = both || arguments.has("-min");
  setting.maximum = both || arguments.has("-max");
  setting.adding = arguments.has("-add_delay");
  for (const SdcObject& object :
       getObjects(arguments.getPositional(1, "ports"), {ObjectKind::Port})) {
    if (object.kind != ObjectKind::Port)
      fail(arguments.getCommand() + ": delays are given to ports, not to the " +
           getKindName(object.kind) + " \"" + object.name + "\"");
    _constraints.setDelay(input, _design.getPole(object.name), setting, Message{_file, _line, ""});
  }
}

std::vector<SdcObject> SdcSession::getPathObjects(const Arguments& arguments,
                                                  const std::string& option) {
  std::vector<SdcObject> objects;
  const std::vector<Tcl_Obj*>& values = arguments.getAll(option);
  if (values.size() > 1)
    warn(arguments.getCommand() + ": the " + std::to_string(values.size()) + " " + option +
         " lists are merged into one: a path passing any of them is meant");
  for (Tcl_Obj* value : values) {
    const std::vector<SdcObject> found = getObjects(
        value,
        {ObjectKind::Port, ObjectKind::Pin, ObjectKind::Cell, ObjectKind::Clock, ObjectKind::Net});
    objects.insert(objects.end(), found.begin(), found.end());
  }
  return objects;
}

void SdcSession::setFalsePath(const Arguments& arguments) {
  arguments.expectPositionals(0);
  if (arguments.has("-setup") || arguments.has("-hold"))
    warn("set_false_path: -setup and -hold are not carried; the paths are false for both checks");
  setException(arguments, PathKind::False, 0);
}

void SdcSession::setDelayPath(const Arguments& arguments, PathKind kind) {
  arguments.expectPositionals(1);
  setException(arguments, kind, toTime(arguments.getPositional(0, "delay")));
}

void SdcSession::setException(const Arguments& arguments, PathKind kind, long long value) {
  Exception exception;
  exception.kind = kind;
  exception.value = value;
  exception.place = Message{_file, _line, arguments.getCommand()};
  exception.from = getPathObjects(arguments, "-from");
  exception.through = getPathObjects(arguments, "-through");
  exception.to = getPathObjects(arguments, "-to");
  if (exception.from.empty() && exception.through.empty() && exception.to.empty()) {
    if (arguments.has("-from") || arguments.has("-through") || arguments.has("-to"))
      warn(arguments.getCommand() + ": its lists name no object; skipped");
    else
      fail(arguments.getCommand() + ": give -from, -through or -to");
    return;
  }
  _constraints.addException(std::move(exception));
}

void SdcSession::setMulticyclePath(const Arguments& arguments) {
  arguments.expectPositionals(1);
  Tcl_Obj* countWord = arguments.getPositional(0, "cycle count");
  int count = 0;
  if (Tcl_GetIntFromObj(nullptr, countWord, &count) != TCL_OK || count < 0)
    fail("set_multicycle_path: bad cycle count \"" + getText(countWord) + "\"");
  // The model keeps hold checks at the single-cycle edge: what -hold N-1
  // after -setup N says, and nothing else.
  if (arguments.has("-hold")) {
    Exception hold;
    hold.from = getPathObjects(arguments, "-from");
    hold.through = getPathObjects(arguments, "-through");
    hold.to = getPathObjects(arguments, "-to");
    if (_constraints.matchHold(count, hold)) return;
    warn(
        "set_multicycle_path -hold not carried: hold checks stay at the single-cycle edge "
        "(only -hold N-1 after the same -setup N is)");
    return;
  }
  if (arguments.has("-start"))
    warn("set_multicycle_path -start taken as -end: cycles of the capturing clock");
  if (count < 2) {
    warn("set_multicycle_path " + std::to_string(count) + " changes no setup check; skipped");
    return;
  }
  setException(arguments, PathKind::Multicycle, count);
}

void SdcSession::print(const Arguments& arguments) {
  if (arguments.getPositionals().empty()) fail("puts: nothing to print");
  Orvek::console.print(getText(arguments.getPositionals().back()));
}

void SdcSession::ignore(const Arguments& arguments) {
  if (_ignored.insert(arguments.getCommand()).second)
    noteIgnored(
        Message{_file, _line, arguments.getCommand() + " ignored (not part of the timing model)"});
}

void SdcSession::unknown(const Arguments& arguments) {
  const std::string name = arguments.getPositionals().empty()
                               ? std::string()
                               : getText(arguments.getPositionals().front());
  if (!_lenient) fail("unknown command \"" + name + "\"");
  warn("unknown command \"" + name + "\" skipped");
  ++_unknownCount;
}

void SdcSession::commit() {
  _constraints.commit();
}

SdcReader::SdcReader(SdcDesign& design, bool lenient)
    : _session(std::make_unique<SdcSession>(design, lenient)) {}

SdcReader::~SdcReader() = default;

void SdcReader::readFile(const std::string& fileName) {
  _session->readText(fileName, readTextFile(fileName));
}

void SdcReader::readText(const std::string& fileName, const std::string& text) {
  _session->readText(fileName, text);
}

void SdcReader::commit() {
  _session->commit();
}

}  // namespace MorvaImport
