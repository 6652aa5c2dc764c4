#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/TimingMap.h>

#include <algorithm>
#include <memory>

namespace Morva {

// ---- TimingMap ---------------------------------------------------------------

TimingMap::TimingMap(std::initializer_list<value_type> entries) {
  for (const value_type& entry : entries) (*this)[entry.first] = entry.second;
}

TimingMap::TimingMap(const TimingMap& other) {
  if (other._size > 1) reserve(other._size);
  std::uninitialized_copy(other.data(), other.data() + other._size, data());
  _size = other._size;
}

TimingMap::TimingMap(TimingMap&& other) noexcept {
  take(other);
}

TimingMap& TimingMap::operator=(const TimingMap& other) {
  if (this == &other) return *this;
  clear();
  if (other._size > _capacity) reserve(other._size);
  std::uninitialized_copy(other.data(), other.data() + other._size, data());
  _size = other._size;
  return *this;
}

TimingMap& TimingMap::operator=(TimingMap&& other) noexcept {
  if (this != &other) {
    release();
    take(other);
  }
  return *this;
}

TimingMap::~TimingMap() {
  release();
}

void TimingMap::release() {
  std::destroy_n(data(), _size);
  _size = 0;
  if (_capacity != 1) {
    ::operator delete(static_cast<void*>(_storage._heap), std::align_val_t(alignof(value_type)));
    _capacity = 1;
  }
}

void TimingMap::take(TimingMap& other) noexcept {
  if (other._capacity == 1) {
    if (other._size == 1) {
      ::new (static_cast<void*>(data())) value_type(std::move(*other.data()));
      std::destroy_at(other.data());
      other._size = 0;
      _size = 1;
    }
    return;
  }
  _storage._heap = other._storage._heap;
  _capacity = other._capacity;
  _size = other._size;
  other._capacity = 1;
  other._size = 0;
}

void TimingMap::clear() {
  std::destroy_n(data(), _size);
  _size = 0;
}

void TimingMap::reserve(uint32_t capacity) {
  if (capacity <= _capacity) return;
  auto* array = static_cast<value_type*>(
      ::operator new(sizeof(value_type) * capacity, std::align_val_t(alignof(value_type))));
  value_type* old = data();
  std::uninitialized_move(old, old + _size, array);
  std::destroy_n(old, _size);
  if (_capacity != 1)
    ::operator delete(static_cast<void*>(old), std::align_val_t(alignof(value_type)));
  _storage._heap = array;
  _capacity = capacity;
}

TimingMap::value_type* TimingMap::insertAt(size_type position, unsigned long key) {
  if (_size == _capacity) reserve(_capacity < 4 ? 4 : 2 * _capacity);
  value_type* array = data();
  if (position == _size) {
    ::new (static_cast<void*>(array + _size)) value_type(key, Timing());
  } else {
    // Open a hole at `position` by shifting the tail one place up.
    ::new (static_cast<void*>(array + _size)) value_type(std::move(array[_size - 1]));
    std::move_backward(array + position, array + _size - 1, array + _size);
    array[position] = value_type(key, Timing());
  }
  ++_size;
  return array + position;
}

TimingMap::size_type TimingMap::erase(unsigned long key) {
  const_iterator found = find(key);
  if (found == end()) return 0;
  erase(found);
  return 1;
}

TimingMap::iterator TimingMap::erase(const_iterator position) {
  value_type* array = data();
  value_type* place = array + (position.get() - array);
  std::move(place + 1, array + _size, place);
  std::destroy_at(array + _size - 1);
  --_size;
  return iterator(place);
}

void TimingMap::swap(TimingMap& other) noexcept {
  if (this == &other) return;
  if (_capacity != 1 && other._capacity != 1) {
    std::swap(_storage._heap, other._storage._heap);
    std::swap(_size, other._size);
    std::swap(_capacity, other._capacity);
    return;
  }
  // At least one side keeps its entry inline: go through a third map.
  TimingMap moved(std::move(other));
  other.take(*this);
  take(moved);
}

bool TimingMap::operator==(const TimingMap& other) const {
  if (_size != other._size) return false;
  return std::equal(data(), data() + _size, other.data(),
                    [](const value_type& a, const value_type& b) {
                      return a.first == b.first && a.second == b.second;
                    });
}

// ---- PoleTimingMap -------------------------------------------------------------

static_assert(alignof(Pole) > 1, "a pole's address must leave its low bit free");

void PoleTimingMap::Entry::keepInPlace(const Timing& timing) {
  word &= ~_aside;
  minimum = timing.getMinimumDelay().getValue();
  maximum = timing.getMaximumDelay().getValue();
}

void PoleTimingMap::Entry::keepAside(uint32_t place) {
  word |= _aside;
  minimum = static_cast<int32_t>(place);
  maximum = 0;
}

PoleTimingMap::PoleTimingMap(const PoleTimingMap& other)
    : _entries(other._entries),
      _slots(other._slots),
      _maps(other._maps),
      _ordered(other._ordered),
      _byNumber(other._byNumber) {}

PoleTimingMap::PoleTimingMap(PoleTimingMap&& other) noexcept
    : _entries(std::move(other._entries)),
      _slots(std::move(other._slots)),
      _maps(std::move(other._maps)),
      _ordered(other._ordered),
      _byNumber(other._byNumber) {
  other.clear();
}

PoleTimingMap& PoleTimingMap::operator=(const PoleTimingMap& other) {
  if (this != &other) {
    _entries = other._entries;
    _slots = other._slots;
    _maps = other._maps;
    _ordered = other._ordered;
    _byNumber = other._byNumber;
  }
  return *this;
}

PoleTimingMap& PoleTimingMap::operator=(PoleTimingMap&& other) noexcept {
  if (this != &other) {
    PoleTimingMap moved(std::move(other));
    swap(moved);
  }
  return *this;
}

uint32_t PoleTimingMap::getNumber(const Pole* pole) {
  return pole->getNumber();
}

PoleTimingMap::Entry PoleTimingMap::makeEntry(Pole* pole, TimingMap&& map) {
  Entry entry{reinterpret_cast<std::uintptr_t>(pole), 0, 0};
  if (const Timing* single = getSingle(map)) {
    entry.keepInPlace(*single);
  } else {
    _maps.push_back(std::move(map));
    entry.keepAside(static_cast<uint32_t>(_maps.size() - 1));
  }
  return entry;
}

std::size_t PoleTimingMap::tryEmplace(Pole* pole, uint32_t number, TimingMap&& map) {
  const uint32_t found = locate(pole, number);
  if (found != _none) return found;
  if (_byNumber ? number >= _slots.size() : 2 * (_entries.size() + 1) > _slots.size())
    rehash(getSlotCount(_entries.size() + 1));
  if (_ordered && !_entries.empty() && Object::StampLess()(pole, _entries.back().getPole()))
    _ordered = false;
  _entries.push_back(makeEntry(pole, std::move(map)));
  index(_entries.size() - 1, number);
  return _entries.size() - 1;
}

void PoleTimingMap::assign(Pole* pole, uint32_t number, TimingMap&& map) {
  const uint32_t found = locate(pole, number);
  if (found == _none) {
    tryEmplace(pole, number, std::move(map));
    return;
  }
  Entry& entry = _entries[found];
  if (entry.isAside())
    _maps[entry.getPlace()] = std::move(map);
  else
    entry = makeEntry(pole, std::move(map));
}

const TimingMap& PoleTimingMap::readAt(std::size_t position, TimingMap& holder) const {
  const Entry& entry = _entries[position];
  if (entry.isAside()) return _maps[entry.getPlace()];
  const Timing timing = entry.getTiming();
  if (getSingle(holder))
    holder.begin()->second = timing;
  else
    holder = TimingMap(0, timing);
  return holder;
}

TimingMap& PoleTimingMap::getAt(std::size_t position) {
  Entry& entry = _entries[position];
  if (!entry.isAside()) {
    _maps.emplace_back(0, entry.getTiming());
    entry.keepAside(static_cast<uint32_t>(_maps.size() - 1));
  }
  return _maps[entry.getPlace()];
}

std::size_t PoleTimingMap::getSlotCount(size_type count) {
  std::size_t slots = 16;
  while (slots < 2 * count) slots *= 2;
  return slots;
}

void PoleTimingMap::reserve(size_type count) {
  _entries.reserve(count);
  if (!_byNumber && getSlotCount(count) > _slots.size()) rehash(getSlotCount(count));
}

void PoleTimingMap::shrink_to_fit() {
  settle();
  // Trimming moves every entry: not worth it for a little room.
  if (_entries.capacity() - _entries.size() > _entries.size() / 8) _entries.shrink_to_fit();
  if (!_byNumber && getSlotCount(_entries.size()) < _slots.size())
    rehash(getSlotCount(_entries.size()));
}

void PoleTimingMap::settle() {
  if (_maps.empty()) return;
  std::deque<TimingMap> kept;
  for (Entry& entry : _entries) {
    if (!entry.isAside()) continue;
    TimingMap& map = _maps[entry.getPlace()];
    if (const Timing* single = getSingle(map)) {
      entry.keepInPlace(*single);
    } else {
      kept.push_back(std::move(map));
      entry.keepAside(static_cast<uint32_t>(kept.size() - 1));
    }
  }
  _maps.swap(kept);
}

void PoleTimingMap::rehash(std::size_t slotCount) const {
  const std::size_t numbers = Pole::getNumberBound();
  _byNumber = slotCount * 2 >= numbers;
  _slots.assign(_byNumber ? numbers : slotCount, 0);
  for (std::size_t position = 0; position < _entries.size(); ++position) index(position);
}

void PoleTimingMap::index(std::size_t position, uint32_t number) const {
  const Pole* pole = _entries[position].getPole();
  const auto taken = static_cast<uint32_t>(position + 1);
  if (_byNumber) {
    // Every living pole's number is below the slot count; the entry of a
    // pole destroyed meanwhile is left out of the index rather than let a
    // stale number write anywhere.
    if (number < _slots.size()) _slots[number] = taken;
    return;
  }
  const std::size_t mask = _slots.size() - 1;
  std::size_t slot = getHash(pole) & mask;
  while (_slots[slot] != 0) slot = (slot + 1) & mask;
  _slots[slot] = taken;
}

// The entries are moved into place cycle by cycle, without a second array.
// The maps aside stay where they are.
void PoleTimingMap::sortByStamp() const {
  // The entry for place i is at order[i]; a settled place names itself.
  std::vector<uint32_t> order = getStampOrder(
      _entries.size(), [this](uint32_t position) { return _entries[position].getPole(); });
  for (uint32_t start = 0; start < order.size(); ++start) {
    if (order[start] == start) continue;
    const Entry moving = _entries[start];
    uint32_t place = start;
    while (order[place] != start) {
      const uint32_t from = order[place];
      _entries[place] = _entries[from];
      order[place] = place;
      place = from;
    }
    _entries[place] = moving;
    order[place] = place;
  }
  rehash(_byNumber ? Pole::getNumberBound() : _slots.size());
  _ordered = true;
}

void PoleTimingMap::clear() {
  _entries.clear();
  _slots.clear();
  _maps.clear();
  _ordered = true;
  _byNumber = false;
}

void PoleTimingMap::swap(PoleTimingMap& other) noexcept {
  _entries.swap(other._entries);
  _slots.swap(other._slots);
  _maps.swap(other._maps);
  std::swap(_ordered, other._ordered);
  std::swap(_byNumber, other._byNumber);
}

}  // namespace Morva
