#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/PoleTimingMap.h>

#include <utility>

namespace Morva {

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

void PoleTimingMap::rehash(std::size_t slotCount, std::vector<uint32_t> numbers) {
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

void PoleTimingMap::index(std::size_t position, uint32_t number) {
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

PoleTimingMap::const_iterator PoleTimingMap::begin() const {
  std::vector<uint32_t> numbers = getNumbers();
  std::vector<uint32_t> order;
  if (!_ordered)
    order = getStampOrder(_entries.size(),
                          [&numbers](uint32_t position) { return getPole(numbers[position]); });
  return const_iterator(this, 0, std::move(order), std::move(numbers));
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
