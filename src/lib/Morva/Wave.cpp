#include <Morva/Wave.h>
#include <Orvek/Debug.h>
#include <Orvek/Record.h>
#include <Orvek/Text.h>

namespace Morva {

Wave::Wave(const std::string& name, const Delay& period, const Delay& rising, const Delay& falling)
    : _name(name),
      _period(period.getValue()),
      _rising(rising.getValue()),
      _falling(falling.getValue()) {}

Wave::Wave(const std::string& name, const Delay& period, const Delay& rising)
    : _name(name),
      _period(period.getValue()),
      _rising(rising.getValue()),
      _falling(getWrappedSum(rising.getValue(), period.getValue() / 2)) {}

Wave::Wave(const std::string& name, const Delay& period) : Wave(name, period, Delay(0)) {}

long Wave::getDutyRatio() const {
  if (_period <= 0) return 50;
  const auto highWidth = static_cast<uint32_t>(getWrappedDifference(_falling, _rising));
  return static_cast<int32_t>(highWidth * 100U) / _period;
}

bool Wave::isDefined() const {
  return !_name.empty() && _period != _undefined;
}

bool Wave::isAvailable() const {
  return isDefined() && 0 <= _rising && _rising < _falling &&
         getWrappedDifference(_falling, _rising) < _period;
}

bool Wave::operator==(const Wave& other) const {
  return _name == other._name && _period == other._period && _rising == other._rising &&
         _falling == other._falling;
}

bool Wave::operator<(const Wave& other) const {
  if (_name != other._name) return Orvek::isAlphaLess(_name, other._name);
  if (_period != other._period) return _period < other._period;
  if (_rising != other._rising) return _rising < other._rising;
  return _falling < other._falling;
}

std::string Wave::_getLabel() const {
  if (!isDefined()) return "(UNDEFINED)";
  return "(" + _name + ", " + getPeriod()._getLabel() + ", [" + getRising()._getLabel() + ", " +
         getFalling()._getLabel() + "])";
}

Orvek::Slot* Wave::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Wave>(name, *this);
}

Orvek::Record* Wave::_getRecord() const {
  if (!_hasRecord()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Wave");
  record->add("Name", _name);
  record->add("Period", getPeriod());
  record->add("Rising", getRising());
  record->add("Falling", getFalling());
  record->add("Shift", getShift());
  record->add("HighWidth", getHighWidth());
  record->add("LowWidth", getLowWidth());
  return record;
}

bool Wave::_hasRecord() const {
  return Orvek::isDebug();
}

}  // namespace Morva
