// The command line when its surroundings fail under it: the archive cut
// short or removed while it is read, an interruption during the analysis.
// The tool runs as a child process that the tests watch through /proc.

#include <fcntl.h>
#include <signal.h>

#include "Support.h"

#include <chrono>
#include <optional>

namespace {

namespace fs = std::filesystem;

using Support::readFile;

// A register-to-register path through a chain of `length` poles: about 60
// bytes per pole, and an analysis long enough to be caught in the middle.
void writeChain(const fs::path& path, int length) {
  std::ofstream output(path, std::ios::binary);
  output << "POLE clk None Primary\nPOLE a/CK Rising None\nPOLE a/Q None None\n"
            "POLE b/CK Rising None\n";
  for (int index = 0; index < length; ++index) output << "POLE n" << index << " None None\n";
  output << "EDGE clk a/CK Interconnect 10 20\nEDGE clk b/CK Interconnect 10 20\n"
            "EDGE a/CK a/Q IOPath 50 60\nEDGE a/Q n0 Interconnect 1 2\n";
  for (int index = 0; index + 1 < length; ++index)
    output << "EDGE n" << index << " n" << index + 1 << " IOPath 1 2\n";
  output << "EDGE n" << length - 1 << " b/CK SetupHold 5 7\n"
         << "CREATE_CLOCK clk -name clk -period 1000000 -rising 0 -falling 500000\n";
}

// The morva tool running in the background, its outputs going to files.
class Child {
 public:
  Child(const fs::path& directory, const std::vector<std::string>& arguments)
      : _out(directory / "stdout.txt"), _err(directory / "stderr.txt") {
    _pid = fork();
    if (_pid == 0) {
      dup2(open(_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
      dup2(open(_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      Support::execute(MORVA_TOOL, arguments);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (_pid > 0 && !_status) {
      kill(_pid, SIGKILL);
      wait();
    }
  }

  // The child's descriptor open on `file`, if any.
  std::optional<std::string> findDescriptor(const fs::path& file) const {
    std::error_code error;
    const fs::path folder = "/proc/" + std::to_string(_pid) + "/fd";
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      std::error_code unreadable;
      if (fs::read_symlink(entry.path(), unreadable) == file) return entry.path().filename();
    }
    return std::nullopt;
  }

  // The read position of a descriptor of the child (-1 once closed).
  long getPosition(const std::string& descriptor) const {
    std::ifstream info("/proc/" + std::to_string(_pid) + "/fdinfo/" + descriptor);
    std::string key;
    long position = -1;
    while (info >> key && key != "pos:") {
    }
    info >> position;
    return position;
  }

  // Waits up to a minute, checking every millisecond, for `condition`;
  // false when the child ended first or the time ran out.
  template <class Condition>
  bool await(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < end) {
      if (condition()) return true;
      int status = 0;
      if (waitpid(_pid, &status, WNOHANG) == _pid) {
        _status = status;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  void signal(int number) const { kill(_pid, number); }

  int wait() {
    if (!_status) {
      int status = 0;
      waitpid(_pid, &status, 0);
      _status = status;
    }
    return *_status;
  }

  std::string out() const { return readFile(_out); }
  std::string err() const { return readFile(_err); }

 private:
  fs::path _out;
  fs::path _err;
  pid_t _pid = -1;
  std::optional<int> _status;
};

class CommandFaultTest : public Support::CommandFixture {
 protected:
  // The chain is written once for the tests.
  static void SetUpTestSuite() {
    _chain = fs::temp_directory_path() / ("morva-faults-" + std::to_string(getpid()) + ".morva");
    writeChain(_chain, 300000);
  }
  static void TearDownTestSuite() { fs::remove(_chain); }

  // A fresh copy of the chain, which a test may change.
  fs::path copyChain(const std::string& name = "design.morva") const {
    const fs::path copy = _directory.path() / name;
    fs::copy_file(_chain, copy);
    return fs::canonical(copy);
  }

  static fs::path _chain;
};

fs::path CommandFaultTest::_chain;

// morva reads the first 64 KiB of an archive (zlib adds one 8 KiB buffer)
// to check it before the loader opens it again: a descriptor that has read
// further is the loader's.
constexpr long kChecked = 65536 + 8192;

TEST_F(CommandFaultTest, ArchiveCutShortOrRemovedWhileItIsRead) {
  // Cut short: the child is stopped while it reads, the file emptied, and
  // the load must fail rather than analyse the part it had read.
  {
    const fs::path design = copyChain("cut.morva");
    Child child(_directory.path(), {design.string()});
    std::string descriptor;
    ASSERT_TRUE(child.await([&] {
      const auto found = child.findDescriptor(design);
      if (found) descriptor = *found;
      return found && child.getPosition(descriptor) > kChecked;
    })) << child.err();
    child.signal(SIGSTOP);
    const long position = child.getPosition(descriptor);
    if (position >= static_cast<long>(fs::file_size(design))) {
      child.signal(SIGCONT);
      GTEST_SKIP() << "the whole archive was read before the child could be stopped";
    }
    fs::resize_file(design, 0);
    child.signal(SIGCONT);
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(child.err().find("morva: " + design.string() + ":"), std::string::npos)
        << child.err();
    EXPECT_NE(
        child.err().find(": Cannot read file " + design.string() + " (at lib/Morva/Archive:load:"),
        std::string::npos)
        << child.err();
    EXPECT_NE(child.out().find("Loading archive failed in"), std::string::npos);
    EXPECT_EQ(child.out().find("Reporting domains"), std::string::npos);
  }
  // Removed: the open file is still read to its end and fully analysed.
  {
    const fs::path design = copyChain("removed.morva");
    Child child(_directory.path(), {"--quiet", "--no-routes", design.string()});
    ASSERT_TRUE(child.await([&] {
      const auto found = child.findDescriptor(design);
      return found && child.getPosition(*found) > kChecked;
    }));
    fs::remove(design);
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << child.err();
    EXPECT_NE(child.out().find("| clk (Rising)    | clk (Rising)    |"), std::string::npos)
        << child.out();
  }
}

TEST_F(CommandFaultTest, InterruptionLeavesNoJsonBehind) {
  const fs::path design = copyChain();
  const fs::path json = _directory.path() / "result.json";
  for (const int number : {SIGINT, SIGTERM}) {
    Child child(_directory.path(), {"--json", json.string(), design.string()});
    // Once the archive is closed, the analysis runs.
    bool opened = false;
    ASSERT_TRUE(child.await([&] {
      const bool open = child.findDescriptor(design).has_value();
      opened = opened || open;
      return opened && !open;
    })) << child.err();
    child.signal(number);
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + number);
    EXPECT_NE(child.err().find("morva: interrupted\n"), std::string::npos) << child.err();
    // Neither the JSON file nor its temporary file is left.
    EXPECT_EQ(listDirectory(),
              (std::vector<std::string>{"design.morva", "stderr.txt", "stdout.txt"}));
  }
}

}  // namespace
