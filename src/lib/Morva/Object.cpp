#include <Morva/Object.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <typeinfo>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/Object";
constexpr unsigned long kStampMask = (1UL << 57) - 1;
}  // namespace

unsigned long Object::_defaultStamp = 1;
unsigned long Object::_requiredStamp = 0;
const unsigned long Object::_maximumStamp = 1UL << 57;

Object::Object() {
  unsigned long stamp;
  if (_requiredStamp != 0) {
    stamp = _requiredStamp & kStampMask;
  } else {
    stamp = _defaultStamp & kStampMask;
    ++_defaultStamp;
  }
  _requiredStamp = 0;
  _flags = stamp << 7;
}

Object::~Object() = default;

void Object::preCreate() {
  if (_requiredStamp == 0 && _defaultStamp > _maximumStamp)
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Stamp overflow");
}

void Object::setDefaultStamp(unsigned long stamp) {
  if (stamp > _maximumStamp)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setDefaultStamp", "Rejected stamp");
  _defaultStamp = stamp;
}

void Object::setRequiredStamp(unsigned long stamp) {
  if (stamp > _maximumStamp)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setRequiredStamp", "Rejected stamp");
  _requiredStamp = stamp;
}

void Object::postCreate() {}

void Object::destroy() {
  if (!isDestroyable()) Orvek::raise<Orvek::FactoryFailed>(kSource, "destroy", "Not destroyable");
  preDestroy();
  _flags &= 0x7fUL;
  delete this;
}

bool Object::isDestroyable() const {
  return true;
}

void Object::preDestroy() {
  _flags |= 1UL;
}

bool Object::getFlag(unsigned long number) const {
  if (number < 1 || number > 6)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "getFlag", "Rejected number");
  return flag(static_cast<unsigned>(number));
}

void Object::setFlag(unsigned long number, bool value) {
  if (number < 1 || number > 6)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setFlag", "Rejected number");
  // Flags hold pole modes and types and edge activity.
  setGraphFlagBit(static_cast<unsigned>(number), value);
}

std::string Object::_getLabel() const {
  return Orvek::Label::create(Orvek::getExternalName(typeid(*this)) + " \"" + getAlias() + "\"")
      .getText();
}

Orvek::Slot* Object::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<const Object*>(name, this);
}

Orvek::Record* Object::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Object");
  for (unsigned number = 1; number <= 6; ++number)
    record->add("Flag" + std::to_string(number), flag(number));
  record->add("Stamp", getStamp());
  record->add("Alias", getAlias());
  return record;
}

bool Object::_hasRecord() const {
  return true;
}

}  // namespace Morva
