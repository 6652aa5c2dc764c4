#include <Orvek/Record.h>
#include <Orvek/Stuff.h>

namespace Orvek {

Slot* Stuff::_getSlot(const std::string& name) const {
  return new StandardSlot<const Stuff*>(name, this);
}

Record* Stuff::_getRecord() const {
  return nullptr;
}

bool Stuff::_hasRecord() const {
  return false;
}

}  // namespace Orvek
