#include <Morva/GraphEpoch.h>

namespace Morva {

// Starts above the epoch of an image never built.
uint64_t GraphEpoch::_value = 1;

}  // namespace Morva
