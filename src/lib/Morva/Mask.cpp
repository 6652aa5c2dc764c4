#include <Morva/Mask.h>

namespace Morva {

static_assert(sizeof(Mask) == sizeof(Orvek::Stuff) + sizeof(unsigned long),
              "a mask is its number beside the base");

template class BasicMask<Mask>;

}  // namespace Morva
