#include <Orvek/Console.h>
#include <Orvek/Record.h>

namespace Orvek {

Slot::Slot(std::string name) : _name(std::move(name)) {}

Slot::~Slot() = default;

void Slot::setOwner(Record* owner) {
  _owner = owner;
  _header = owner ? owner->getCurrentHeader() : std::string();
}

NullSlot* NullSlot::create(const std::string& name) { return new NullSlot(name); }

std::string NullSlot::getDataLabel() const { return "null"; }

Record* NullSlot::getDataRecord() const { return nullptr; }

Record::Record(std::string title) : _title(std::move(title)) {}

Record::~Record() {
  for (Slot* slot : _slots) delete slot;
}

const std::string& Record::getCurrentHeader() const {
  static const std::string none;
  return _headers.empty() ? none : _headers.back();
}

void Record::addHeader(const std::string& header) { _headers.push_back(header); }

void Record::addSlot(Slot* slot) {
  if (!slot) return;
  _slots.push_back(slot);
  slot->setOwner(this);
}

Record* getRecord(const Stuff& value) {
  return value._hasRecord() ? value._getRecord() : nullptr;
}

Record* getRecord(const Stuff* value) { return value ? getRecord(*value) : nullptr; }

void inspect(Record* record, const std::string& title) {
  std::unique_ptr<Record> owned(record);
  if (!record) return;
  console.print(title.empty() ? record->getTitle() : title + " " + record->getTitle());
  console.indent();
  std::string header;
  bool first = true;
  for (const Slot* slot : record->getSlots()) {
    if (first || slot->getHeader() != header) {
      if (!first) console.unindent();
      header = slot->getHeader();
      console.print("[" + header + "]");
      console.indent();
      first = false;
    }
    console.print(slot->getName() + ": " + slot->getDataLabel());
  }
  if (!first) console.unindent();
  console.unindent();
}

}  // namespace Orvek
