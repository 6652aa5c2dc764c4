#include <Morva/Type.h>
#include <Orvek/Record.h>

namespace Morva {

const std::string* Type::getNames() {
  static const std::string names[_codeCount] = {"None", "Primary", "ClockSource", "Dual"};
  return names;
}

Type::Type(const std::string& name) {
  const std::string* names = getNames();
  for (unsigned code = 0; code < _codeCount; ++code) {
    if (names[code] == name) {
      _code = static_cast<Code>(code);
      return;
    }
  }
}

const std::string& Type::getName() const {
  static const std::string invalid = "Invalid";
  const auto code = static_cast<uint32_t>(_code);
  return code < _codeCount ? getNames()[code] : invalid;
}

std::string Type::_getLabel() const {
  return getName();
}

Orvek::Slot* Type::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Type>(name, *this);
}

Orvek::Record* Type::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Type");
  record->add("Code", static_cast<int>(_code));
  record->add("Name", getName());
  return record;
}

bool Type::_hasRecord() const {
  return true;
}

}  // namespace Morva
