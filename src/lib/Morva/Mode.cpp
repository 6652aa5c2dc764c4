#include <Morva/Mode.h>
#include <Orvek/Record.h>

namespace Morva {

const std::string* Mode::getNames() {
  static const std::string names[_codeCount] = {"None", "Rising", "Falling"};
  return names;
}

Mode::Mode(const std::string& name) {
  const std::string* names = getNames();
  for (unsigned code = 0; code < _codeCount; ++code) {
    if (names[code] == name) {
      _code = static_cast<Code>(code);
      return;
    }
  }
}

const std::string& Mode::getName() const {
  static const std::string invalid = "Invalid";
  const auto code = static_cast<uint32_t>(_code);
  return code < _codeCount ? getNames()[code] : invalid;
}

std::string Mode::_getLabel() const {
  return getName();
}

Orvek::Slot* Mode::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Mode>(name, *this);
}

Orvek::Record* Mode::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Mode");
  record->add("Code", static_cast<int>(_code));
  record->add("Name", getName());
  return record;
}

bool Mode::_hasRecord() const {
  return true;
}

}  // namespace Morva
