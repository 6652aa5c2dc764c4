#include <Morva/Purpose.h>
#include <Orvek/Record.h>

namespace Morva {

const std::string* Purpose::getNames() {
  static const std::string names[_codeCount] = {"IOPath", "SetupHold", "RecoveryRemoval",
                                                "Interconnect"};
  return names;
}

Purpose::Purpose(const std::string& name) {
  const std::string* names = getNames();
  for (unsigned code = 0; code < _codeCount; ++code) {
    if (names[code] == name) {
      _code = static_cast<Code>(code);
      return;
    }
  }
}

const std::string& Purpose::getName() const {
  static const std::string invalid = "Invalid";
  const auto code = static_cast<uint32_t>(_code);
  return code < _codeCount ? getNames()[code] : invalid;
}

std::string Purpose::_getLabel() const {
  return getName();
}

Orvek::Slot* Purpose::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Purpose>(name, *this);
}

Orvek::Record* Purpose::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Purpose");
  record->add("Code", static_cast<int>(_code));
  record->add("Name", getName());
  return record;
}

bool Purpose::_hasRecord() const {
  return true;
}

}  // namespace Morva
