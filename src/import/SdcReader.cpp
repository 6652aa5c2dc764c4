#include "SdcReader.h"

#include "Message.h"
#include "TextFile.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
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
const std::set<std::string> kIgnored = {"set_clock_uncertainty",
                                        "set_clock_latency",
                                        "set_clock_transition",
                                        "set_propagated_clock",
                                        "set_load",
                                        "set_driving_cell",
                                        "set_input_transition",
                                        "set_max_fanout",
                                        "set_max_transition",
                                        "set_max_capacitance",
                                        "set_min_capacitance",
                                        "set_fanout_load",
                                        "set_timing_derate",
                                        "set_max_area",
                                        "set_operating_conditions",
                                        "set_wire_load_model",
                                        "set_wire_load_mode",
                                        "set_dont_touch",
                                        "set_dont_touch_network",
                                        "set_ideal_network",
                                        "set_case_analysis",
                                        "set_disable_timing",
                                        "set_clock_sense",
                                        "set_resistance",
                                        "set_sense",
                                        "current_design",
                                        "set_ideal_latency",
                                        "set_ideal_transition",
                                        "set_clock_gating_check",
                                        "set_data_check",
                                        "set_max_time_borrow",
                                        "set_port_fanout_number",
                                        "set_logic_zero",
                                        "set_logic_one",
                                        "set_logic_dc",
                                        "group_path"};

// Query results keep the kind of each object: a list element of this type
// is a design object whose name is its string.
const Tcl_ObjType kObjectType = {"morva-sdc-object", nullptr, nullptr, nullptr, nullptr};

Tcl_Obj* newObject(const SdcObject& object) {
  Tcl_Obj* value = Tcl_NewStringObj(object.name.data(), static_cast<int>(object.name.size()));
  value->typePtr = &kObjectType;
  value->internalRep.longValue = static_cast<long>(object.kind);
  return value;
}

std::string getText(Tcl_Obj* value) {
  int length = 0;
  const char* text = Tcl_GetStringFromObj(value, &length);
  return std::string(text, static_cast<std::size_t>(length));
}

bool isNumber(Tcl_Obj* value) {
  double number = 0;
  return Tcl_GetDoubleFromObj(nullptr, value, &number) == TCL_OK;
}

// A command's words: its options (each with the values given, in order)
// and its other words.
class Arguments {
 public:
  // `flags` take no value, `valued` one; any other word starting with "-"
  // that is not a number is an unknown option.
  // With `raw`, every word counts as an argument.
  Arguments(int count, Tcl_Obj* const words[], const std::set<std::string>& flags,
            const std::set<std::string>& valued, bool raw) {
    const std::string command = getText(words[0]);
    for (int index = 1; index < count; ++index) {
      Tcl_Obj* word = words[index];
      const std::string text = getText(word);
      if (!raw && text.size() > 1 && text[0] == '-' && word->typePtr != &kObjectType &&
          !isNumber(word)) {
        if (flags.count(text)) {
          _options[text];
        } else if (valued.count(text)) {
          if (++index == count)
            throw std::invalid_argument(command + ": " + text + " needs a value");
          _options[text].push_back(words[index]);
        } else {
          throw std::invalid_argument(command + ": unknown option " + text);
        }
      } else {
        _positionals.push_back(word);
      }
    }
    _command = command;
  }

  const std::string& getCommand() const { return _command; }
  bool has(const std::string& option) const { return _options.count(option) > 0; }
  Tcl_Obj* get(const std::string& option) const {
    const auto found = _options.find(option);
    return found == _options.end() || found->second.empty() ? nullptr : found->second.back();
  }
  const std::vector<Tcl_Obj*>& getAll(const std::string& option) const {
    static const std::vector<Tcl_Obj*> kNone;
    const auto found = _options.find(option);
    return found == _options.end() ? kNone : found->second;
  }
  const std::vector<Tcl_Obj*>& getPositionals() const { return _positionals; }
  // The only word that is no option; `what` names it in the error.
  Tcl_Obj* getPositional(std::size_t index, const char* what) const {
    if (index >= _positionals.size())
      throw std::invalid_argument(_command + ": " + what + " missing");
    return _positionals[index];
  }
  void expectPositionals(std::size_t count) const {
    if (_positionals.size() > count)
      throw std::invalid_argument(_command + ": unexpected argument \"" +
                                  getText(_positionals[count]) + "\"");
  }

 private:
  std::string _command;
  std::map<std::string, std::vector<Tcl_Obj*>> _options;
  std::vector<Tcl_Obj*> _positionals;
};

}  // namespace

// One SDC reading: the interpreter, the clocks' names, and the delays and
// exceptions kept until `commit`.
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
  struct IODelay {
    Morva::Pole* root = nullptr;
    bool falling = false;
    std::optional<long long> minimum;
    std::optional<long long> maximum;
    Message place;
  };
  enum class PathKind { False, Multicycle, Maximum, Minimum };
  struct Exception {
    PathKind kind = PathKind::False;
    long long value = 0;
    // Of a multicycle path: a -hold of one cycle less was given with it.
    bool holdMatched = false;
    std::vector<SdcObject> from;
    std::vector<SdcObject> through;
    std::vector<SdcObject> to;
    Message place;
  };
  using PoleSet = Morva::PoleSet;

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
  void setIODelay(const Arguments& arguments, std::map<Morva::Pole*, IODelay>& delays,
                  std::vector<Morva::Pole*>& order);
  void setInputDelay(const Arguments& arguments) { setIODelay(arguments, _inputs, _inputOrder); }
  void setOutputDelay(const Arguments& arguments) { setIODelay(arguments, _outputs, _outputOrder); }
  void setException(const Arguments& arguments, PathKind kind, long long value);
  void setFalsePath(const Arguments& arguments);
  void setMulticyclePath(const Arguments& arguments);
  void setDelayPath(const Arguments& arguments, PathKind kind);
  void setMaxDelay(const Arguments& arguments) { setDelayPath(arguments, PathKind::Maximum); }
  void setMinDelay(const Arguments& arguments) { setDelayPath(arguments, PathKind::Minimum); }
  void print(const Arguments& arguments);
  void ignore(const Arguments& arguments);
  void unknown(const Arguments& arguments);

  void commitDelays(const std::map<Morva::Pole*, IODelay>& delays,
                    const std::vector<Morva::Pole*>& order, bool input);
  void commitException(const Exception& exception);
  void addPoles(const SdcObject& object, PoleSet& poles, int role, bool timed,
                const Exception& exception) const;

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
  std::map<Morva::Pole*, IODelay> _inputs;
  std::map<Morva::Pole*, IODelay> _outputs;
  std::vector<Morva::Pole*> _inputOrder;
  std::vector<Morva::Pole*> _outputOrder;
  std::vector<Exception> _exceptions;
};

SdcSession::SdcSession(SdcDesign& design, bool lenient) : _design(design), _lenient(lenient) {
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
  for (const std::string& name : kIgnored) add(name.c_str(), &SdcSession::ignore);
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
  if (value->typePtr == &kObjectType)
    return {SdcObject{static_cast<ObjectKind>(value->internalRep.longValue), getText(value)}};
  int count = 0;
  Tcl_Obj** elements = nullptr;
  if (Tcl_ListObjGetElements(nullptr, value, &count, &elements) != TCL_OK)
    fail("not a list of objects: \"" + getText(value) + "\"");
  std::vector<SdcObject> objects;
  for (int index = 0; index < count; ++index) {
    Tcl_Obj* element = elements[index];
    const std::string name = getText(element);
    if (element->typePtr == &kObjectType) {
      objects.push_back({static_cast<ObjectKind>(element->internalRep.longValue), name});
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

// The model holds one delay per port and direction, with one clock edge:
// sides given again replace the earlier ones; -add_delay on the same clock
// edge keeps the worst of both, on another clock edge it is not carried.
void SdcSession::setIODelay(const Arguments& arguments, std::map<Morva::Pole*, IODelay>& delays,
                            std::vector<Morva::Pole*>& order) {
  arguments.expectPositionals(2);
  const long long delay = toTime(arguments.getPositional(0, "delay"));
  Morva::Pole* root = getClockRoot(arguments);
  const bool falling = arguments.has("-clock_fall");
  const bool both = arguments.has("-min") == arguments.has("-max");
  const bool adding = arguments.has("-add_delay");
  for (const SdcObject& object :
       getObjects(arguments.getPositional(1, "ports"), {ObjectKind::Port})) {
    if (object.kind != ObjectKind::Port)
      fail(arguments.getCommand() + ": delays are given to ports, not to the " +
           getKindName(object.kind) + " \"" + object.name + "\"");
    Morva::Pole* port = _design.getPole(object.name);
    const auto [found, added] = delays.try_emplace(port);
    IODelay& entry = found->second;
    if (added) order.push_back(port);
    const bool sameEdge = entry.root == root && entry.falling == falling;
    if (!added && adding && !sameEdge) {
      warn(arguments.getCommand() + " -add_delay on \"" + object.name +
           "\" not carried: a port keeps one delay, the one of " + entry.place.getPlace());
      continue;
    }
    if (!added && !sameEdge) entry = IODelay{};
    entry.root = root;
    entry.falling = falling;
    entry.place = Message{_file, _line, ""};
    const auto set = [adding](std::optional<long long>& side, long long value, bool lower) {
      side = adding && side ? (lower ? std::min(*side, value) : std::max(*side, value)) : value;
    };
    if (both || arguments.has("-min")) set(entry.minimum, delay, true);
    if (both || arguments.has("-max")) set(entry.maximum, delay, false);
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
  _exceptions.push_back(std::move(exception));
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
    const std::vector<SdcObject> from = getPathObjects(arguments, "-from");
    const std::vector<SdcObject> through = getPathObjects(arguments, "-through");
    const std::vector<SdcObject> to = getPathObjects(arguments, "-to");
    for (Exception& exception : _exceptions)
      if (exception.kind == PathKind::Multicycle && exception.value == count + 1 &&
          exception.from == from && exception.through == through && exception.to == to) {
        exception.holdMatched = true;
        return;
      }
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
  commitDelays(_inputs, _inputOrder, true);
  commitDelays(_outputs, _outputOrder, false);
  for (const Exception& exception : _exceptions) commitException(exception);
}

void SdcSession::commitDelays(const std::map<Morva::Pole*, IODelay>& delays,
                              const std::vector<Morva::Pole*>& order, bool input) {
  for (Morva::Pole* port : order) {
    const IODelay& delay = delays.at(port);
    // A side never given takes the other's value.
    const long long minimum = delay.minimum.value_or(delay.maximum.value_or(0));
    const long long maximum = delay.maximum.value_or(minimum);
    const Morva::IOConstraint constraint(
        delay.root, Morva::Mode(delay.falling ? Morva::Mode::Falling : Morva::Mode::Rising),
        Morva::Delay(static_cast<int>(minimum)), Morva::Delay(static_cast<int>(maximum)));
    try {
      if (input)
        Morva::analyzer->setInputConstraint(port, constraint);
      else
        Morva::analyzer->setOutputConstraint(port, constraint);
    } catch (const Orvek::Exception& error) {
      MorvaImport::fail(kSource, "commit", delay.place.file, delay.place.line,
                        std::string(input ? "set_input_delay" : "set_output_delay") + " on \"" +
                            port->getName() + "\": " + error.getMessage());
    }
  }
}

// Roles: 0 sources, 1 bridges, 2 targets. Timed exceptions end at a
// register's capture point (the dual pole of its clock pin); false paths
// at its data pins, which both rule sets match.
void SdcSession::addPoles(const SdcObject& object, PoleSet& poles, int role, bool timed,
                          const Exception& exception) const {
  const auto refuse = [&exception, &object](const std::string& why) {
    MorvaImport::fail(kSource, "commit", exception.place.file, exception.place.line,
                      exception.place.text + ": the " + getKindName(object.kind) + " \"" +
                          object.name + "\" " + why);
  };
  const auto addRegister = [&poles, role, timed](Morva::Pole* clockPin) {
    if (role == 0) {
      poles.insert(clockPin);
    } else if (timed) {
      if (Morva::Pole* capture = clockPin->getDual()) poles.insert(capture);
    } else {
      for (Morva::Pole* data : SdcDesign::getDataPins(clockPin)) poles.insert(data);
    }
  };
  switch (object.kind) {
    case ObjectKind::Port:
      poles.insert(_design.getPole(object.name));
      break;
    case ObjectKind::Pin: {
      Morva::Pole* pole = _design.getPole(object.name);
      Morva::Pole* checking = role == 2 ? SdcDesign::getCheckingClock(pole) : nullptr;
      if (role == 2 && timed && checking)
        addRegister(checking);
      else if (role == 2 && pole->isClock())
        addRegister(pole);
      else
        poles.insert(pole);
      break;
    }
    case ObjectKind::Cell: {
      if (role == 1) {
        for (Morva::Pole* pin : _design.getCellOutputs(object.name)) poles.insert(pin);
        break;
      }
      bool found = false;
      for (Morva::Pole* pin : _design.getCellPins(object.name))
        if (pin->isClock()) {
          addRegister(pin);
          found = true;
        }
      if (!found)
        refuse(role == 0 ? "has no clock pin to start from" : "has no timing check to end at");
      break;
    }
    case ObjectKind::Net:
      if (role != 1) refuse("is only understood with -through");
      for (Morva::Pole* pole : _design.getNetPoles(object.name)) poles.insert(pole);
      break;
    case ObjectKind::Clock: {
      if (role == 1) refuse("cannot be passed through");
      const auto& delays = role == 0 ? _inputs : _outputs;
      for (Morva::Pole* root : _design.getClockRoots(object.name)) {
        for (Morva::Pole* clockPin : _design.getClockPins(root)) addRegister(clockPin);
        for (const auto& [port, delay] : delays)
          if (delay.root == root) poles.insert(port);
      }
      break;
    }
  }
}

void SdcSession::commitException(const Exception& exception) {
  if (exception.kind == PathKind::Multicycle && !exception.holdMatched)
    MorvaImport::warn(Message{exception.place.file, exception.place.line,
                              "set_multicycle_path " + std::to_string(exception.value) +
                                  ": hold checks stay at the single-cycle edge, as if -hold " +
                                  std::to_string(exception.value - 1) + " were given"});
  const bool timed = exception.kind != PathKind::False;
  PoleSet sources;
  PoleSet bridges;
  PoleSet targets;
  for (const SdcObject& object : exception.from) addPoles(object, sources, 0, timed, exception);
  for (const SdcObject& object : exception.through) addPoles(object, bridges, 1, timed, exception);
  for (const SdcObject& object : exception.to) addPoles(object, targets, 2, timed, exception);
  if (sources.empty() && bridges.empty() && targets.empty()) {
    MorvaImport::warn(Message{exception.place.file, exception.place.line,
                              exception.place.text + ": names no path start or end; skipped"});
    return;
  }
  const Orvek::SetCollection<Morva::Pole*, Morva::Object::StampLess> from(sources),
      through(bridges), to(targets);
  try {
    switch (exception.kind) {
      case PathKind::False:
        Morva::FPath::create(from, through, to);
        break;
      case PathKind::Multicycle:
        Morva::MPath::create(from, through, to, static_cast<unsigned long>(exception.value));
        break;
      case PathKind::Maximum:
        Morva::DPath::createMaximum(from, through, to,
                                    Morva::Delay(static_cast<int>(exception.value)));
        break;
      case PathKind::Minimum:
        Morva::DPath::createMinimum(from, through, to,
                                    Morva::Delay(static_cast<int>(exception.value)));
        break;
    }
  } catch (const Orvek::Exception& error) {
    MorvaImport::fail(kSource, "commit", exception.place.file, exception.place.line,
                      exception.place.text + ": " + error.getMessage());
  }
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
