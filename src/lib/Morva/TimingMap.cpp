#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/TimingMap.h>

#include <algorithm>
#include <cassert>
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
  // Look-ups bisect: the keys stay strictly ascending.
  assert(std::adjacent_find(array, array + _size, [](const value_type& a, const value_type& b) {
           return a.first >= b.first;
         }) == array + _size);
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

}  // namespace Morva
