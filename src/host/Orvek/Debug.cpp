#include <Orvek/Debug.h>

namespace Orvek {

namespace {
bool debugSwitch = false;
}

void setDebug(bool debug) {
  debugSwitch = debug;
}

bool isDebug() {
  return debugSwitch;
}

}  // namespace Orvek
