#include <Morva/DomainMask.h>

namespace Morva {

static_assert(sizeof(DomainMask) == sizeof(Orvek::Stuff) + sizeof(unsigned long),
              "a domain mask is its number beside the base");

template class BasicMask<DomainMask>;

}  // namespace Morva
