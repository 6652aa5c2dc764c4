// Helpers shared by the test programs: exception checks, collection
// snapshots, console capture, the analyzer and command-line fixtures, a
// scratch folder for files the tests write, gzip, the builders of designs
// and the random designs of the reference test.
#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Edge.h>
#include <Morva/IOConstraint.h>
#include <Morva/Pole.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>
#include <cstdlib>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace Support {

// Expects `call` to raise exactly an E located at `file` under `operation`
// with `message`.
template <class E, class Call>
void expectRaise(Call&& call, const std::string& file, const std::string& operation,
                 const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const Orvek::Exception& exception) {
    EXPECT_EQ(typeid(exception), typeid(E)) << message;
    EXPECT_EQ(exception.getMessage(), message);
    EXPECT_EQ(exception.getFile(), file);
    EXPECT_EQ(exception.getOperation(), operation);
  }
}

// The elements of a collection or view, in walk order.
template <class Collection>
auto toVector(const Collection& collection) {
  std::vector<std::decay_t<decltype(*collection.begin())>> result;
  for (auto element : collection) result.push_back(element);
  return result;
}

// `text` without its leading and trailing blanks.
inline std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The cells of one rendered table line, trimmed; none for a rule line.
inline std::vector<std::string> cellsOf(const std::string& line) {
  std::vector<std::string> cells;
  const auto first = line.find('|');
  if (first == std::string::npos) return cells;
  std::string::size_type start = first + 1;
  for (auto bar = line.find('|', start); bar != std::string::npos; bar = line.find('|', start)) {
    cells.push_back(trim(line.substr(start, bar - start)));
    start = bar + 1;
  }
  return cells;
}

// The whole content of a file, empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream input(path, std::ios::binary);
  std::ostringstream text;
  text << input.rdbuf();
  return text.str();
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// How many times `part` occurs in `text`, overlaps included.
inline long occurrences(const std::string& text, const std::string& part) {
  long found = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

// `text` as one gzip member, compressed in memory.
inline std::string gzip(const std::string& text) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY), Z_OK);
  std::string packed(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(packed.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

// What a command did: its exit status (-1 when it did not exit) and what it
// wrote on standard output and standard error.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// The exit status of a shell command, -1 when it did not exit.
inline int runStatus(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs `command` through the shell, its standard output and error sent to
// files in `directory` (removed again).
inline Outcome runShell(const std::string& command, const std::filesystem::path& directory) {
  const std::filesystem::path out = directory / "stdout.txt";
  const std::filesystem::path err = directory / "stderr.txt";
  const std::string redirected =
      "{ " + command + "; } >'" + out.string() + "' 2>'" + err.string() + "'";
  Outcome result;
  result.status = runStatus(redirected);
  result.out = readFile(out);
  result.err = readFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

// Sends the console to a string for the lifetime of the capture.
class ConsoleCapture {
 public:
  ConsoleCapture() { Orvek::console.setOutput(_stream); }
  ~ConsoleCapture() { Orvek::console.setOutput(std::cout); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string text() const { return _stream.str(); }
  void clear() { _stream.str(""); }

 private:
  std::ostringstream _stream;
};

// A fresh analyzer for every test, destroyed with everything it owns.
class AnalyzerFixture : public ::testing::Test {
 protected:
  void SetUp() override { Morva::Analyzer::create(); }
  void TearDown() override {
    if (Morva::analyzer) Morva::analyzer->destroy();
  }
};

// A scratch folder named after the running test, removed with its files.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    _path = std::filesystem::temp_directory_path() /
            (prefix + "-" + std::to_string(getpid()) + "-" + test->name());
    std::filesystem::create_directories(_path);
  }
  ~TempDir() { std::filesystem::remove_all(_path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return _path; }

  // Writes `text` as the file `name` in the folder and returns its path.
  std::string writeFile(const std::string& name, const std::string& text) const {
    const std::filesystem::path file = _path / name;
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
  }

 private:
  std::filesystem::path _path;
};

// A scratch folder for the tests of the command-line tools: files written
// there, and tools run from there with their outputs captured.
class CommandFixture : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) const {
    return _directory.writeFile(name, text);
  }
  std::string place(const std::string& name) const { return (_directory.path() / name).string(); }

  // Runs `tool` through the shell from the folder: `arguments` may redirect.
  Outcome run(const std::string& tool, const std::string& arguments) const {
    return runShell(
        "cd '" + _directory.path().string() + "' && { '" + tool + "' " + arguments + "; }",
        _directory.path());
  }

  // The names in the folder, sorted.
  std::vector<std::string> listDirectory() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(_directory.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir _directory{"morva-command"};
};

// In a forked child: runs `tool` with `arguments`; exits with status 127
// when it cannot be started.
[[noreturn]] inline void execute(const char* tool, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(tool)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(tool, argv.data());
  _exit(127);
}

// ---- Designs built through the interface, in the current analyzer ----

// A primary port.
inline Morva::Pole* port(const std::string& name) {
  Morva::Pole* pole = Morva::Pole::createMain(name);
  pole->setType(Morva::Type(Morva::Type::Primary));
  return pole;
}

// A pin, a clock pole when given a mode.
inline Morva::Pole* pin(const std::string& name, Morva::Mode::Code mode = Morva::Mode::None) {
  Morva::Pole* pole = Morva::Pole::createMain(name);
  if (mode != Morva::Mode::None) pole->setMode(Morva::Mode(mode));
  return pole;
}

inline Morva::Edge* edge(Morva::Pole* from, Morva::Pole* to, int minimum, int maximum,
                         Morva::Purpose::Code purpose = Morva::Purpose::Interconnect) {
  Morva::Edge* made = Morva::Edge::create(from, to, Morva::Purpose(purpose));
  made->setMinimumDelay(Morva::Delay(minimum));
  made->setMaximumDelay(Morva::Delay(maximum));
  return made;
}

// A clock port with a wave rising at 0 and falling at half the period.
inline Morva::Pole* clock(const std::string& name, int period = 1000) {
  Morva::Pole* root = port(name);
  Morva::analyzer->createClock(root, name, Morva::Delay(period), Morva::Delay(0),
                               Morva::Delay(period / 2));
  return root;
}

// A view of `poles` that stays valid to the end of the program.
inline Morva::Poles view(std::vector<Morva::Pole*> poles) {
  static std::deque<std::vector<Morva::Pole*>> kept;
  kept.push_back(std::move(poles));
  return Orvek::VectorCollection<Morva::Pole*>(kept.back());
}

// A register: its clock pin (a clock pole), the dual pole where it captures
// data, its data input pin and its output pin.
struct Register {
  Morva::Pole* clock;
  Morva::Pole* capture;
  Morva::Pole* data;
  Morva::Pole* output;
};

// A register with its clock-to-output and setup/hold arcs, delays unset.
inline Register flop(const std::string& name, Morva::Mode::Code mode = Morva::Mode::Rising) {
  Register reg{pin(name + "/CK", mode), Morva::Pole::createDual(name + "/CK"), pin(name + "/D"),
               pin(name + "/Q")};
  Morva::Edge::createIOPath(reg.clock, reg.output);
  Morva::Edge::createSetupHold(reg.data, reg.capture);
  return reg;
}

// A random design, built in the current analyzer: three clock ports with
// waves, a clock network of buffers, registers on either clock edge (some
// clocked through another register: generated clocks), input ports with and
// without input delays, logic with reconvergence, output ports with and
// without output delays, a few clocks used as data and a few disabled arcs.
// Every edge gets a random (minimum, maximum) delay. With `loops`, the clock
// network and the logic also have combinational loops; without, the graph
// has no cycle but through registers.
class RandomDesign {
 public:
  RandomDesign(unsigned seed, int registers, int gates, bool loops = true) : random(seed) {
    for (const char* name : {"ck1", "ck2", "ck3"}) {
      Morva::Pole* root = port(name);
      Morva::analyzer->createClock(root, name, Morva::Delay(1000), Morva::Delay(0),
                                   Morva::Delay(500));
      clocks.push_back(root);
    }
    for (int index = 0; index < 4; ++index) {
      Morva::Pole* buffer = Morva::Pole::createMain("cb" + std::to_string(index));
      wire(buffers.empty() || chance(50) ? pick(clocks) : pick(buffers), buffer);
      buffers.push_back(buffer);
    }
    for (int index = 0; loops && index < 2; ++index) {
      Morva::Pole* from = pick(buffers);
      Morva::Pole* to = pick(buffers);
      if (from != to) arc(from, to);
    }
    std::vector<Morva::Pole*> sources(clocks.begin(), clocks.end());
    for (int index = 0; index < registers; ++index) {
      const std::string name = "r" + std::to_string(index);
      Register reg{Morva::Pole::createMain(name + "/CK"), Morva::Pole::createDual(name + "/CK"),
                   Morva::Pole::createMain(name + "/D"), Morva::Pole::createMain(name + "/Q")};
      reg.clock->setMode(Morva::Mode(chance(70) ? Morva::Mode::Rising : Morva::Mode::Falling));
      arc(reg.clock, reg.output);
      link(Morva::Edge::createSetupHold(reg.data, reg.capture));
      wire(chance(50) ? pick(clocks) : pick(buffers), reg.clock);
      if (!flops.empty() && chance(25)) wire(flops[random() % flops.size()].output, reg.clock);
      flops.push_back(reg);
      sources.push_back(reg.output);
    }
    for (int index = 0; index < 3; ++index) {
      Morva::Pole* input = port("in" + std::to_string(index));
      if (index > 0)
        Morva::analyzer->setInputConstraint(
            input,
            Morva::IOConstraint(
                pick(clocks), Morva::Mode(index == 1 ? Morva::Mode::Rising : Morva::Mode::Falling),
                Morva::Delay(1), Morva::Delay(2)));
      inputs.push_back(input);
      sources.push_back(input);
    }
    for (int index = 0; index < gates; ++index) {
      Morva::Pole* gate = Morva::Pole::createMain("g" + std::to_string(index));
      arc(pick(sources), gate);
      if (chance(50)) arc(pick(sources), gate);
      logic.push_back(gate);
      sources.push_back(gate);
    }
    for (int index = 0; loops && index < gates / 4; ++index) {
      Morva::Pole* from = pick(logic);
      Morva::Pole* to = pick(logic);
      if (from != to) arc(from, to);
    }
    if (chance(50)) arc(pick(buffers), pick(logic));
    for (const Register& reg : flops) wire(pick(sources), reg.data);
    for (int index = 0; index < 3; ++index) {
      Morva::Pole* output = port("out" + std::to_string(index));
      wire(pick(sources), output);
      if (index > 0)
        Morva::analyzer->setOutputConstraint(
            output, Morva::IOConstraint(pick(clocks), Morva::Mode(Morva::Mode::Rising),
                                        Morva::Delay(1), Morva::Delay(2)));
      outputs.push_back(output);
    }
    for (Morva::Pole* gate : logic)
      if (chance(10) && !gate->getIncomingEdgeSet().empty())
        (*gate->getIncomingEdgeSet().begin())->disactivate();
  }

  bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; }
  template <class T>
  T pick(const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  }

  std::mt19937 random;
  std::vector<Morva::Pole*> clocks, buffers, inputs, logic, outputs;
  std::vector<Register> flops;
  std::vector<Morva::Edge*> edges;

 private:
  Morva::Edge* link(Morva::Edge* edge) {
    const int minimum = static_cast<int>(random() % 10);
    edge->setMinimumDelay(Morva::Delay(minimum));
    edge->setMaximumDelay(Morva::Delay(minimum + static_cast<int>(random() % 11)));
    edges.push_back(edge);
    return edge;
  }
  void wire(Morva::Pole* from, Morva::Pole* to) { link(Morva::Edge::createInterconnect(from, to)); }
  void arc(Morva::Pole* from, Morva::Pole* to) { link(Morva::Edge::createIOPath(from, to)); }
};

}  // namespace Support
