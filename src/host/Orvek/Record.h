#pragma once

#include <Orvek/Export.h>
#include <Orvek/Label.h>
#include <Orvek/Stuff.h>

#include <memory>
#include <string>
#include <vector>

namespace Orvek {

class Record;

// A named datum of a record: its name, the header it was added under, and
// the label and record of the value it holds.
class ORVEK_API Slot {
 public:
  explicit Slot(std::string name);
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  virtual ~Slot();

  const std::string& getName() const { return _name; }
  const std::string& getHeader() const { return _header; }
  const Record* getOwner() const { return _owner; }
  // The number of headers its record had when the slot was added: 0 for a
  // slot filed before any header, n for one filed under the n-th header.
  unsigned long getLevel() const { return _level; }
  void setName(const std::string& name) { _name = name; }
  void setOwner(Record* owner);

  virtual std::string getDataLabel() const = 0;
  // A new record of the held value owned by the caller, or null.
  virtual Record* getDataRecord() const = 0;

 private:
  std::string _name;
  std::string _header;
  Record* _owner = nullptr;
  unsigned long _level = 0;
};

// A slot that holds no value.
class ORVEK_API NullSlot : public Slot {
 public:
  using Slot::Slot;
  static NullSlot* create(const std::string& name);
  std::string getDataLabel() const override;
  Record* getDataRecord() const override;
};

// An inspection record: a title, headers (one per class level) and slots.
class ORVEK_API Record {
 public:
  explicit Record(std::string title);
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ~Record();

  const std::string& getTitle() const { return _title; }
  const std::vector<std::string>& getHeaders() const { return _headers; }
  const std::vector<Slot*>& getSlots() const { return _slots; }
  // The header that slots added now are filed under ("" before any).
  const std::string& getCurrentHeader() const;

  void addHeader(const std::string& header);
  // Takes ownership of the slot; a null slot, or one the record already
  // holds, is ignored.
  void addSlot(Slot* slot);
  template <class T>
  void add(const std::string& name, const T& value);

 private:
  std::string _title;
  std::vector<std::string> _headers;
  std::vector<Slot*> _slots;
};

ORVEK_API Record* getRecord(const Stuff& value);
ORVEK_API Record* getRecord(const Stuff* value);

template <StuffClass T>
Record* getRecord(T* value) {
  return getRecord(static_cast<const Stuff*>(value));
}

// Plain values (numbers, text) have no record.
template <class T>
concept PlainValue = !StuffClass<T> && !LabelledRange<T>;

template <PlainValue T>
Record* getRecord(const T&) {
  return nullptr;
}

template <LabelledRange T>
Record* getRecord(const T& range);

// A slot holding a copy of a value.
template <class T>
class StandardSlot : public Slot {
 public:
  StandardSlot(std::string name, T data) : Slot(std::move(name)), _data(std::move(data)) {}
  const T& getData() const { return _data; }
  std::string getDataLabel() const override { return getLabel(_data); }
  Record* getDataRecord() const override { return getRecord(_data); }

 private:
  T _data;
};

template <class T>
Slot* getSlot(const std::string& name, const T& value) {
  return new StandardSlot<T>(name, value);
}

// Text given as a C string is kept as a copy; a null one gives a null slot.
ORVEK_API Slot* getSlot(const std::string& name, const char* value);

template <class T>
void Record::add(const std::string& name, const T& value) {
  addSlot(getSlot(name, value));
}

// Maps, whose elements are key and value pairs.
template <class T>
concept KeyedRange = LabelledRange<T> && requires {
  typename T::mapped_type;
};

// Each element of a container becomes a slot named by its position, or by
// its key for maps.
template <LabelledRange T>
Record* getRecord(const T& range) {
  auto* record = new Record(getLabel(range));
  unsigned long index = 0;
  for (const auto& element : range) {
    if constexpr (KeyedRange<T>)
      record->add(getLabel(element.first), element.second);
    else
      record->add(std::to_string(index), element);
    ++index;
  }
  return record;
}

// Prints a record on the console: its title (after `title` when that is
// not empty), the slots filed before any header, then every header in
// brackets with the slots filed under it. Takes ownership of the record;
// null prints nothing.
ORVEK_API void inspect(Record* record, const std::string& title);

}  // namespace Orvek
