#include <Morva/Timing.h>
#include <Orvek/Debug.h>
#include <Orvek/Record.h>

namespace Morva {

const Timing& Timing::getNone() {
  static const Timing none(0, 0);
  return none;
}

const Timing& Timing::getMinimum() {
  static const Timing minimum(_minimum, _minimum);
  return minimum;
}

const Timing& Timing::getMaximum() {
  static const Timing maximum(_maximum, _maximum);
  return maximum;
}

const Timing& Timing::getUndefined() {
  static const Timing undefined;
  return undefined;
}

std::string Timing::_getLabel() const {
  if (isUndefined()) return "[undefined]";
  if (isMinimum()) return "[minimum]";
  if (isMaximum()) return "[maximum]";
  return "[" + getMinimumDelay()._getLabel() + ":" + getMaximumDelay()._getLabel() + "]";
}

Orvek::Slot* Timing::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Timing>(name, *this);
}

Orvek::Record* Timing::_getRecord() const {
  if (!_hasRecord()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Timing");
  record->addSlot(getMinimumDelay()._getSlot("MinimumDelay"));
  record->addSlot(getMaximumDelay()._getSlot("MaximumDelay"));
  return record;
}

bool Timing::_hasRecord() const {
  return Orvek::isDebug();
}

}  // namespace Morva
