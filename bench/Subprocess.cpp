#include "Subprocess.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace MorvaBench {

namespace {

constexpr const char* kLauncherFlag = "--measured-launcher";

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool isLauncher(int argc, char** argv) {
  return argc > 1 && std::strcmp(argv[1], kLauncherFlag) == 0;
}

// argv: BINARY --measured-launcher FD STDOUT STDERR PROGRAM ARGS...
int runLauncher(int argc, char** argv) {
  if (argc < 6) return 127;
  const int result = std::atoi(argv[2]);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return 127;
  if (child == 0) {
    const int out = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(argv[4], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(127);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    ::close(result);
    execv(argv[5], argv + 5);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 127;
  const double seconds = secondsSince(start);
  char line[128];
  const int length =
      std::snprintf(line, sizeof line, "%d %.6f %ld\n",
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds, usage.ru_maxrss * 1024L);
  return ::write(result, line, static_cast<std::size_t>(length)) == length ? 0 : 127;
}

Measured runMeasured(const std::vector<std::string>& command, const std::string& out,
                     const std::string& err) {
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> words{"/proc/self/exe", kLauncherFlag, std::to_string(channel[1]), out,
                                 err};
  words.insert(words.end(), command.begin(), command.end());
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(word.data());
  arguments.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  const pid_t launcher = fork();
  if (launcher < 0) {
    ::close(channel[0]);
    ::close(channel[1]);
    throw std::runtime_error("fork failed");
  }
  if (launcher == 0) {
    ::close(channel[0]);
    execv("/proc/self/exe", arguments.data());
    _exit(127);
  }
  ::close(channel[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  waitpid(launcher, &status, 0);
  Measured measured;
  if (!(std::istringstream(text) >> measured.status >> measured.seconds >> measured.peakBytes))
    measured = Measured();
  return measured;
}

}  // namespace MorvaBench
