#include <Morva/IOConstraint.h>
#include <Morva/Pole.h>
#include <Orvek/Debug.h>
#include <Orvek/Record.h>

namespace Morva {

IOConstraint::IOConstraint()
    : _clockRoot(nullptr),
      _mode(Mode::Rising),
      _minimum(static_cast<int>(Delay::getUndefined())),
      _maximum(static_cast<int>(Delay::getUndefined())) {}

IOConstraint::IOConstraint(Pole* clockRoot, const Mode& mode, const Delay& minimum,
                           const Delay& maximum)
    : _clockRoot(clockRoot),
      _mode(mode),
      _minimum(static_cast<int>(minimum)),
      _maximum(static_cast<int>(maximum)) {}

bool IOConstraint::isDefined() const {
  const int undefined = static_cast<int>(Delay::getUndefined());
  return _clockRoot && _minimum != undefined && _maximum != undefined;
}

bool IOConstraint::operator==(const IOConstraint& other) const {
  return _clockRoot == other._clockRoot && _mode.getCode() == other._mode.getCode() &&
         _minimum == other._minimum && _maximum == other._maximum;
}

bool IOConstraint::operator<(const IOConstraint& other) const {
  if (_clockRoot != other._clockRoot) return Object::StampLess()(_clockRoot, other._clockRoot);
  if (_mode.getCode() != other._mode.getCode()) return _mode.getCode() < other._mode.getCode();
  if (_minimum != other._minimum) {
    // Sign-extended to 64 bits and compared unsigned: negative minimums
    // order after every non-negative one.
    auto widen = [](int value) { return static_cast<unsigned long>(static_cast<long>(value)); };
    return widen(_minimum) < widen(other._minimum);
  }
  return _maximum < other._maximum;
}

std::string IOConstraint::_getLabel() const {
  if (!isDefined()) return "(UNDEFINED)";
  return "(" + _clockRoot->getAlias() + ",  " + _mode.getName() + ", [" + getMinimum()._getLabel() +
         ", " + getMaximum()._getLabel() + "])";
}

Orvek::Slot* IOConstraint::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<IOConstraint>(name, *this);
}

bool IOConstraint::_hasRecord() const {
  return Orvek::isDebug();
}

Orvek::Record* IOConstraint::_getRecord() const {
  if (!_hasRecord()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("IOConstraint");
  if (_clockRoot)
    record->addSlot(_clockRoot->_getSlot("ClockRoot"));
  else
    record->addSlot(Orvek::NullSlot::create("ClockRoot"));
  record->add("Mode", _mode);
  record->add("Minimum", getMinimum());
  record->add("Maximum", getMaximum());
  return record;
}

}  // namespace Morva
