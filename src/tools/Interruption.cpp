#include "Interruption.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace MorvaTool {

namespace {

constexpr std::size_t kNameSize = 4096;
constexpr int kSlots = 4;
char removals[kSlots][kNameSize];
// Whether a slot holds a complete name; only a clear slot is written, so
// that the handler never reads a name being written.
std::atomic<bool> removalSet[kSlots];

extern "C" void handleInterruption(int signalNumber) {
  for (int slot = 0; slot < kSlots; ++slot)
    if (removalSet[slot].load()) unlink(removals[slot]);
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

int Interruption::setRemoval(const char* fileName) {
  const std::size_t length = std::strlen(fileName);
  if (length == 0 || length >= kNameSize) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (removalSet[slot].load()) continue;
    std::memcpy(removals[slot], fileName, length + 1);
    removalSet[slot].store(true);
    return slot;
  }
  return -1;
}

void Interruption::clearRemoval(int slot) {
  if (slot >= 0 && slot < kSlots) removalSet[slot].store(false);
}

}  // namespace MorvaTool
