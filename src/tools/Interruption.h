#pragma once

namespace MorvaTool {

// Ends the run cleanly on SIGINT or SIGTERM: the handler removes the
// temporary files being prepared (JSON, HTML) (so no partial file is left behind), writes
// "morva: interrupted" to standard error and exits with 128 + the signal
// number. It does only what is safe inside a signal handler.
class Interruption {
 public:
  static void install();
  // Adds a file the handler removes and answers its slot, or -1 when the
  // name is empty, longer than the handler's buffer or every slot is taken.
  static int setRemoval(const char* fileName);
  // The file of `slot` is no longer removed; -1 is ignored.
  static void clearRemoval(int slot);
};

}  // namespace MorvaTool
