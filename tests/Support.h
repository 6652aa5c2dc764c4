// Helpers shared by the test programs: exception checks, collection
// snapshots, record slot names, console capture, the analyzer fixture and a
// scratch folder for files the tests write.
#pragma once

#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <iostream>
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

// The slot names of a record, in order.
inline std::vector<std::string> slotNames(const Orvek::Record& record) {
  std::vector<std::string> names;
  for (const Orvek::Slot* slot : record.getSlots()) names.push_back(slot->getName());
  return names;
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

// What a command did: its exit status (-1 when it did not exit) and what it
// wrote on standard output and standard error.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` through the shell, its standard output and error sent to
// files in `directory` (removed again).
inline Outcome runShell(const std::string& command, const std::filesystem::path& directory) {
  const std::filesystem::path out = directory / "stdout.txt";
  const std::filesystem::path err = directory / "stderr.txt";
  const std::string redirected =
      "{ " + command + "; } >'" + out.string() + "' 2>'" + err.string() + "'";
  Outcome result;
  const int raw = std::system(redirected.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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

// In a forked child: runs `tool` with `arguments`; exits with status 127
// when it cannot be started.
[[noreturn]] inline void execute(const char* tool, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(tool)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(tool, argv.data());
  _exit(127);
}

}  // namespace Support
