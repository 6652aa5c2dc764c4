#include "BenchReader.h"

#include "Message.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/BenchReader";

struct Gate {
  std::string output;
  std::string kind;  // upper case
  std::vector<std::string> inputs;
  std::size_t line = 0;
};

std::string_view trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

bool isKnownGate(const std::string& kind) {
  static const char* const kinds[] = {"AND",  "NAND", "OR",  "NOR",  "XOR",
                                      "XNOR", "NOT",  "BUF", "BUFF", "DFF"};
  return std::find(std::begin(kinds), std::end(kinds), kind) != std::end(kinds);
}

class Bench {
 public:
  Bench(const std::string& file, const BenchOptions& options) : _file(file), _options(options) {}

  void parse(std::string_view text) {
    std::size_t line = 0;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view content = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      ++line;
      content = trim(content.substr(0, content.find('#')));
      if (!content.empty()) parseLine(content, line);
    }
  }

  GraphPlan build() {
    GraphPlan plan;
    if (_drivers.empty()) error(1, "no INPUT and no gate");
    for (const Gate& gate : _gates) _gateOf.emplace(gate.output, &gate);
    for (const auto& [signal, line] : _outputs)
      if (!_drivers.count(signal)) error(line, "output \"" + signal + "\" is never driven");
    std::unordered_map<std::string, std::size_t> fanout;
    for (const Gate& gate : _gates)
      for (const std::string& input : gate.inputs) {
        if (!_drivers.count(input)) error(gate.line, "signal \"" + input + "\" is never driven");
        ++fanout[input];
      }
    for (const auto& [signal, line] : _outputs) ++fanout[signal];
    bool sequential = false;
    for (const Gate& gate : _gates) sequential = sequential || gate.kind == "DFF";
    int clock = -1;
    if (sequential) {
      if (_drivers.count(_options.clock))
        error(_drivers.at(_options.clock),
              "a signal is named like the clock port \"" + _options.clock + "\"");
      clock = plan.addPole(_options.clock);
      plan.getPole(clock).primary = true;
      plan.addClock({clock, _options.clock, _options.period, 0, _options.period / 2});
    }
    for (const std::string& input : _inputs) plan.getPole(plan.addPole(input)).primary = true;
    for (const auto& [signal, line] : _outputs) plan.getPole(plan.addPole(signal)).primary = true;
    // The pole that drives each signal.
    const auto driverOf = [this, &plan](const std::string& signal) {
      const Gate* gate = _gateOf.count(signal) ? _gateOf.at(signal) : nullptr;
      if (!gate) return plan.findPole(signal);
      return plan.addPole(signal + (gate->kind == "DFF" ? "/Q" : "/Y"));
    };
    for (const Gate& gate : _gates) {
      const Bounds delay{getDelay(fanout[gate.output]), getDelay(fanout[gate.output])};
      if (gate.kind == "DFF") {
        const int data = plan.addPole(gate.output + "/D");
        const int pin = plan.addPole(gate.output + "/CK");
        plan.getPole(pin).mode = 'r';
        const int output = plan.addPole(gate.output + "/Q");
        plan.addArc(clock, pin, Morva::Purpose::Interconnect);
        plan.addArc(data, pin, Morva::Purpose::SetupHold);
        plan.addArc(pin, output, Morva::Purpose::IOPath).bounds = delay;
        continue;
      }
      std::vector<int> pins;
      for (std::size_t i = 0; i < gate.inputs.size(); ++i)
        pins.push_back(plan.addPole(gate.output + "/A" + std::to_string(i)));
      const int output = plan.addPole(gate.output + "/Y");
      for (int pin : pins) plan.addArc(pin, output, Morva::Purpose::IOPath).bounds = delay;
    }
    for (const Gate& gate : _gates)
      for (std::size_t i = 0; i < gate.inputs.size(); ++i) {
        const std::string pin =
            gate.output + (gate.kind == "DFF" ? "/D" : "/A" + std::to_string(i));
        plan.addArc(driverOf(gate.inputs[i]), plan.findPole(pin), Morva::Purpose::Interconnect);
      }
    for (const auto& [signal, line] : _outputs)
      if (!_inputSet.count(signal))
        plan.addArc(driverOf(signal), plan.findPole(signal), Morva::Purpose::Interconnect);
    return plan;
  }

 private:
  [[noreturn]] void error(std::size_t line, const std::string& text) const {
    fail(kSource, "read", _file, line, text);
  }

  long long getDelay(std::size_t loads) const {
    if (_options.model == BenchOptions::Model::Unit || loads <= 1) return _options.unit;
    return _options.unit + _options.unit * static_cast<long long>(loads - 1) / 4;
  }

  std::string takeName(std::string_view text, std::size_t line) const {
    text = trim(text);
    if (text.empty()) error(line, "signal name missing");
    for (char c : text)
      if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')' || c == ',' ||
          c == '=' || c == '/')
        error(line, "bad signal name \"" + std::string(text) + "\"");
    return std::string(text);
  }

  void define(const std::string& signal, std::size_t line) {
    if (!_drivers.emplace(signal, line).second)
      error(line, "signal \"" + signal + "\" defined twice");
  }

  void parseLine(std::string_view content, std::size_t line) {
    const std::size_t open = content.find('(');
    if (open == std::string_view::npos || content.back() != ')')
      error(line, "expected NAME = GATE(...), INPUT(...) or OUTPUT(...)");
    const std::size_t equal = content.find('=');
    const std::string_view arguments = content.substr(open + 1, content.size() - open - 2);
    if (equal == std::string_view::npos || equal > open) {
      const std::string keyword = upper(trim(content.substr(0, open)));
      const std::string signal = takeName(arguments, line);
      if (keyword == "INPUT") {
        if (_outputSet.count(signal))
          error(line, "signal \"" + signal + "\" is both an input and an output");
        define(signal, line);
        _inputs.push_back(signal);
        _inputSet.insert({signal, line});
      } else if (keyword == "OUTPUT") {
        if (!_outputSet.insert(signal).second)
          error(line, "output \"" + signal + "\" declared twice");
        if (_inputSet.count(signal))
          error(line, "signal \"" + signal + "\" is both an input and an output");
        _outputs.emplace_back(signal, line);
      } else {
        error(line, "unknown keyword \"" + keyword + "\"");
      }
      return;
    }
    Gate gate;
    gate.output = takeName(content.substr(0, equal), line);
    gate.kind = upper(trim(content.substr(equal + 1, open - equal - 1)));
    gate.line = line;
    if (!isKnownGate(gate.kind)) error(line, "unknown gate \"" + gate.kind + "\"");
    std::string_view rest = arguments;
    for (;;) {
      const std::size_t comma = rest.find(',');
      gate.inputs.push_back(takeName(rest.substr(0, comma), line));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    const bool single =
        gate.kind == "NOT" || gate.kind == "BUF" || gate.kind == "BUFF" || gate.kind == "DFF";
    if (single && gate.inputs.size() != 1) error(line, gate.kind + " takes one input");
    if (gate.inputs.size() > 1000) error(line, "too many gate inputs");
    define(gate.output, line);
    _gates.push_back(std::move(gate));
  }

  const std::string& _file;
  const BenchOptions& _options;
  std::vector<std::string> _inputs;
  std::unordered_map<std::string, std::size_t> _inputSet;
  std::vector<std::pair<std::string, std::size_t>> _outputs;
  std::unordered_set<std::string> _outputSet;
  std::vector<Gate> _gates;
  std::unordered_map<std::string, std::size_t> _drivers;  // signal to its defining line
  std::unordered_map<std::string, const Gate*> _gateOf;
};

}  // namespace

GraphPlan readBench(const std::string& fileName, const std::string& text,
                    const BenchOptions& options) {
  Bench bench(fileName, options);
  bench.parse(text);
  return bench.build();
}

}  // namespace MorvaImport
