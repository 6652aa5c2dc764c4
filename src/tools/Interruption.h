#pragma once

namespace MorvaTool {

// Ends the run cleanly on SIGINT or SIGTERM: the handler removes the JSON
// temporary file being prepared (so no partial file is left behind), writes
// "morva: interrupted" to standard error and exits with 128 + the signal
// number. It does only what is safe inside a signal handler.
class Interruption {
 public:
  static void install();
  // The file the handler removes; an empty name removes nothing. Names
  // longer than the handler's buffer are refused (false).
  static bool setRemoval(const char* fileName);
  static void clearRemoval();
};

}  // namespace MorvaTool
