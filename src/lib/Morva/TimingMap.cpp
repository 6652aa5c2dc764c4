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

void TimingMap::release() {
  std::destroy_n(data(), _size);
  _size = 0;
  if (_capacity != 1) {
    freeHeap();
    _capacity = 1;
  }
}

void TimingMap::freeHeap() {
  ::operator delete(static_cast<void*>(_storage._heap), std::align_val_t(alignof(value_type)));
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

PoleTimingMap::PoleTimingMap(PoleTimingMap&& other) noexcept {
  swap(other);
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

Pole* PoleTimingMap::getPole(uint32_t number) {
  return number < Pole::getNumberBound() ? Pole::getNumberedPoles()[number] : nullptr;
}

std::size_t PoleTimingMap::tryEmplace(uint32_t number, TimingMap&& map) {
  const uint32_t found = locate(number);
  if (found != _none) return found;
  const std::size_t position = _entries.size();
  if (_byNumber) {
    if (number >= _slots.size()) _slots.resize(Pole::getNumberBound(), 0);
  } else if (2 * (position + 1) > _slots.size()) {
    rehash(getSlotCount(position + 1), std::move(_numbers));
  }
  if (_ordered && position > 0) {
    const Pole* last = getPole(_last);
    if (last && Object::StampLess()(getPole(number), last)) _ordered = false;
  }
  _last = number;
  _entries.push_back(Entry{0, 0});
  _aside.push_back(false);
  if (!_byNumber) _numbers.push_back(number);
  index(position, number);
  put(position, std::move(map), _maps);
  return position;
}

void PoleTimingMap::assign(uint32_t number, TimingMap&& map) {
  const uint32_t found = locate(number);
  if (found == _none)
    tryEmplace(number, std::move(map));
  else if (_aside[found])
    _maps[static_cast<uint32_t>(_entries[found].minimum)] = std::move(map);
  else
    put(found, std::move(map), _maps);
}

void PoleTimingMap::put(std::size_t position, TimingMap&& map, std::deque<TimingMap>& store) {
  if (const Timing* single = getSingle(map)) {
    _entries[position] = getEntry(*single);
    _aside[position] = false;
  } else {
    store.push_back(std::move(map));
    keepAside(position, static_cast<uint32_t>(store.size() - 1));
  }
}

void PoleTimingMap::keepAside(std::size_t position, uint32_t place) {
  _entries[position] = Entry{static_cast<int32_t>(place), 0};
  _aside[position] = true;
}

TimingMap& PoleTimingMap::getAt(std::size_t position) {
  if (!_aside[position]) {
    _maps.emplace_back(0, getTiming(_entries[position]));
    keepAside(position, static_cast<uint32_t>(_maps.size() - 1));
  }
  return _maps[static_cast<uint32_t>(_entries[position].minimum)];
}

std::size_t PoleTimingMap::getSlotCount(size_type count) {
  std::size_t slots = 16;
  while (slots < 2 * count) slots *= 2;
  return slots;
}

void PoleTimingMap::reserve(size_type count) {
  _entries.reserve(count);
  _aside.reserve(count);
  if (!_byNumber && getSlotCount(count) > _slots.size())
    rehash(getSlotCount(count), std::move(_numbers));
  if (!_byNumber) _numbers.reserve(count);
}

void PoleTimingMap::shrink_to_fit() {
  settle();
  // Trimming moves every entry: not worth it for a little room.
  if (_entries.capacity() - _entries.size() > _entries.size() / 8) {
    _entries.shrink_to_fit();
    _aside.shrink_to_fit();
    _numbers.shrink_to_fit();
  }
  if (!_byNumber && getSlotCount(_entries.size()) < _slots.size())
    rehash(getSlotCount(_entries.size()), std::move(_numbers));
}

void PoleTimingMap::settle() {
  if (_maps.empty()) return;
  std::deque<TimingMap> kept;
  for (std::size_t position = 0; position < _entries.size(); ++position) {
    if (_aside[position])
      put(position, std::move(_maps[static_cast<uint32_t>(_entries[position].minimum)]), kept);
  }
  _maps.swap(kept);
}

std::vector<uint32_t> PoleTimingMap::getNumbers() const {
  if (!_byNumber) return _numbers;
  std::vector<uint32_t> numbers(_entries.size(), 0);
  for (uint32_t number = 0; number < _slots.size(); ++number)
    if (_slots[number] != 0) numbers[_slots[number] - 1] = number;
  return numbers;
}

void PoleTimingMap::rehash(std::size_t slotCount, std::vector<uint32_t> numbers) const {
  const std::size_t bound = Pole::getNumberBound();
  _byNumber = slotCount * 2 >= bound;
  _slots.assign(_byNumber ? bound : slotCount, 0);
  for (std::size_t position = 0; position < numbers.size(); ++position)
    index(position, numbers[position]);
  if (_byNumber)
    std::vector<uint32_t>().swap(_numbers);
  else
    _numbers = std::move(numbers);
}

void PoleTimingMap::index(std::size_t position, uint32_t number) const {
  const auto taken = static_cast<uint32_t>(position + 1);
  if (_byNumber) {
    // Every living pole's number is below the slot count; the entry of a
    // pole destroyed meanwhile is left out of the index rather than let a
    // stale number write anywhere.
    if (number < _slots.size()) _slots[number] = taken;
    return;
  }
  const std::size_t mask = _slots.size() - 1;
  std::size_t slot = getHash(number) & mask;
  while (_slots[slot] != 0) slot = (slot + 1) & mask;
  _slots[slot] = taken;
}

// The entries are moved into place cycle by cycle, without a second array.
// The maps aside stay where they are.
void PoleTimingMap::sortByStamp() const {
  std::vector<uint32_t> numbers = getNumbers();
  // The entry for place i is at order[i]; a settled place names itself.
  std::vector<uint32_t> order = getStampOrder(
      _entries.size(), [&numbers](uint32_t position) { return getPole(numbers[position]); });
  for (uint32_t start = 0; start < order.size(); ++start) {
    if (order[start] == start) continue;
    const Entry entry = _entries[start];
    const bool aside = _aside[start];
    const uint32_t number = numbers[start];
    uint32_t place = start;
    while (order[place] != start) {
      const uint32_t from = order[place];
      _entries[place] = _entries[from];
      _aside[place] = _aside[from];
      numbers[place] = numbers[from];
      order[place] = place;
      place = from;
    }
    _entries[place] = entry;
    _aside[place] = aside;
    numbers[place] = number;
    order[place] = place;
  }
  // Later entries are checked against the last in stamp order.
  if (!numbers.empty()) _last = numbers.back();
  rehash(_byNumber ? Pole::getNumberBound() : _slots.size(), std::move(numbers));
  _ordered = true;
}

void PoleTimingMap::clear() {
  _entries.clear();
  _aside.clear();
  _slots.clear();
  _numbers.clear();
  _maps.clear();
  _last = 0;
  _ordered = true;
  _byNumber = false;
}

void PoleTimingMap::swap(PoleTimingMap& other) noexcept {
  _entries.swap(other._entries);
  _aside.swap(other._aside);
  _slots.swap(other._slots);
  _numbers.swap(other._numbers);
  _maps.swap(other._maps);
  std::swap(_last, other._last);
  std::swap(_ordered, other._ordered);
  std::swap(_byNumber, other._byNumber);
}

}  // namespace Morva
