#include "Interruption.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace MorvaTool {

namespace {

constexpr std::size_t kNameSize = 4096;
char removal[kNameSize];
// Whether `removal` holds a complete name; cleared before it is changed so
// that the handler never reads a name being written.
std::atomic<bool> removalSet{false};

extern "C" void handleInterruption(int signalNumber) {
  if (removalSet.load()) unlink(removal);
  const char message[] = "\nmorva: interrupted\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
  _exit(128 + signalNumber);
}

}  // namespace

void Interruption::install() {
  struct sigaction action {};
  action.sa_handler = handleInterruption;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interruption::setRemoval(const char* fileName) {
  removalSet.store(false);
  const std::size_t length = std::strlen(fileName);
  if (length >= kNameSize) return false;
  std::memcpy(removal, fileName, length + 1);
  removalSet.store(length > 0);
  return true;
}

void Interruption::clearRemoval() {
  removalSet.store(false);
}

}  // namespace MorvaTool
