#include <Orvek/Console.h>
#include <Orvek/Record.h>

#include <algorithm>

namespace Orvek {

Slot::Slot(std::string name) : _name(std::move(name)) {}

Slot::~Slot() = default;

void Slot::setOwner(Record* owner) {
  _owner = owner;
  _header = owner ? owner->getCurrentHeader() : std::string();
  _level = owner ? owner->getHeaders().size() : 0;
}

NullSlot* NullSlot::create(const std::string& name) {
  return new NullSlot(name);
}

std::string NullSlot::getDataLabel() const {
  return "null";
}

Record* NullSlot::getDataRecord() const {
  return nullptr;
}

Record::Record(std::string title) : _title(std::move(title)) {}

Record::~Record() {
  for (Slot* slot : _slots) delete slot;
}

const std::string& Record::getCurrentHeader() const {
  static const std::string none;
  return _headers.empty() ? none : _headers.back();
}

void Record::addHeader(const std::string& header) {
  _headers.push_back(header);
}

void Record::addSlot(Slot* slot) {
  if (!slot || std::find(_slots.begin(), _slots.end(), slot) != _slots.end()) return;
  _slots.push_back(slot);
  slot->setOwner(this);
}

Slot* getSlot(const std::string& name, const char* value) {
  if (!value) return NullSlot::create(name);
  return new StandardSlot<std::string>(name, value);
}

Record* getRecord(const Stuff& value) {
  return value._hasRecord() ? value._getRecord() : nullptr;
}

Record* getRecord(const Stuff* value) {
  return value ? getRecord(*value) : nullptr;
}

void inspect(Record* record, const std::string& title) {
  std::unique_ptr<Record> owned(record);
  if (!record) return;
  console.print(title.empty() ? record->getTitle() : title + " " + record->getTitle());
  console.indent();
  const auto& headers = record->getHeaders();
  auto printLevel = [&](unsigned long level) {
    for (const Slot* slot : record->getSlots())
      if (std::min<unsigned long>(slot->getLevel(), headers.size()) == level)
        console.print(slot->getName() + ": " + slot->getDataLabel());
  };
  printLevel(0);
  for (unsigned long level = 1; level <= headers.size(); ++level) {
    console.print("[" + headers[level - 1] + "]");
    console.indent();
    printLevel(level);
    console.unindent();
  }
  console.unindent();
}

}  // namespace Orvek
