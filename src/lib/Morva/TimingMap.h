#pragma once

#include <Morva/Export.h>
#include <Morva/Timing.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace Morva {

class Pole;

// The unit of propagation: an ordered map from a mask number (the class of
// path constraints that the summarised paths pass through) to the timing of
// that class. It offers the subset of the std::map interface that the
// library and its hosts use and iterates in ascending key order.
//
// Almost every map holds a single entry, key 0 (paths under no constraint),
// so the entries live in a sorted array whose first slot is stored inline:
// the common map allocates nothing, and copying or clearing it touches 32
// bytes. A second entry moves the array to the heap. Any insertion or
// erasure invalidates iterators.
class MORVA_API TimingMap {
 public:
  using key_type = unsigned long;
  using mapped_type = Timing;
  using value_type = std::pair<unsigned long, Timing>;
  using size_type = std::size_t;

  // A position in the entry array. A class rather than a plain pointer, so
  // that `erase(0)` names key 0 and not a null position.
  template <class Value>
  class Cursor {
   public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = std::remove_const_t<Value>;
    using difference_type = std::ptrdiff_t;
    using pointer = Value*;
    using reference = Value&;

    Cursor() = default;
    explicit Cursor(Value* place) : _place(place) {}
    // An iterator converts to a const_iterator.
    template <class Other>
    requires std::is_convertible_v<Other*, Value*> Cursor(const Cursor<Other>& other)
        : _place(other.get()) {}

    Value* get() const { return _place; }
    Value& operator*() const { return *_place; }
    Value* operator->() const { return _place; }
    Cursor& operator++() {
      ++_place;
      return *this;
    }
    Cursor operator++(int) { return Cursor(_place++); }
    Cursor& operator--() {
      --_place;
      return *this;
    }
    Cursor operator--(int) { return Cursor(_place--); }
    friend bool operator==(const Cursor& a, const Cursor& b) { return a._place == b._place; }

   private:
    Value* _place = nullptr;
  };
  using iterator = Cursor<value_type>;
  using const_iterator = Cursor<const value_type>;

  TimingMap() = default;
  TimingMap(std::initializer_list<value_type> entries);
  // The map of one entry.
  TimingMap(unsigned long key, const Timing& timing) : _size(1) {
    ::new (static_cast<void*>(_storage._inline)) value_type(key, timing);
  }
  TimingMap(const TimingMap& other);
  TimingMap(TimingMap&& other) noexcept;
  TimingMap& operator=(const TimingMap& other);
  TimingMap& operator=(TimingMap&& other) noexcept;
  // Inline: propagation and slack look-ups make and drop small maps by
  // the million.
  ~TimingMap() {
    std::destroy_n(data(), _size);
    if (_capacity != 1) freeHeap();
  }

  size_type size() const { return _size; }
  bool empty() const { return _size == 0; }

  iterator begin() { return iterator(data()); }
  iterator end() { return iterator(data() + _size); }
  const_iterator begin() const { return const_iterator(data()); }
  const_iterator end() const { return const_iterator(data() + _size); }

  iterator find(unsigned long key) { return iterator(locate(key)); }
  const_iterator find(unsigned long key) const {
    return const_iterator(const_cast<TimingMap*>(this)->locate(key));
  }
  iterator lower_bound(unsigned long key) { return iterator(lowerBound(key)); }
  const_iterator lower_bound(unsigned long key) const {
    return const_iterator(const_cast<TimingMap*>(this)->lowerBound(key));
  }
  size_type count(unsigned long key) const { return contains(key) ? 1 : 0; }
  bool contains(unsigned long key) const {
    return const_cast<TimingMap*>(this)->locate(key) != data() + _size;
  }

  // The timing of `key`, entered as (Undefined, Undefined) when absent.
  Timing& operator[](unsigned long key) {
    value_type* place = lowerBound(key);
    if (place != data() + _size && place->first == key) return place->second;
    return insertAt(place - data(), key)->second;
  }

  // Makes this the map of the one entry (key, timing), reusing its room.
  void assign(unsigned long key, const Timing& timing) {
    if (_size == 1) {
      value_type& entry = *data();
      entry.first = key;
      entry.second = timing;
    } else if (_size == 0 && _capacity == 1) {
      ::new (static_cast<void*>(_storage._inline)) value_type(key, timing);
      _size = 1;
    } else {
      *this = TimingMap(key, timing);
    }
  }

  size_type erase(unsigned long key);
  // Returns the entry that followed the erased one.
  iterator erase(const_iterator position);
  // Keeps the heap array, if any, for reuse.
  void clear();
  void swap(TimingMap& other) noexcept;

  bool operator==(const TimingMap& other) const;
  bool operator!=(const TimingMap& other) const { return !(*this == other); }

 private:
  value_type* data() {
    return _capacity == 1 ? std::launder(reinterpret_cast<value_type*>(_storage._inline))
                          : _storage._heap;
  }
  const value_type* data() const { return const_cast<TimingMap*>(this)->data(); }

  value_type* lowerBound(unsigned long key) {
    value_type* first = data();
    value_type* last = first + _size;
    // Maps are tiny: a linear scan beats a binary search.
    while (first != last && first->first < key) ++first;
    return first;
  }
  // The entry of `key`, or the end of the array.
  value_type* locate(unsigned long key) {
    value_type* place = lowerBound(key);
    return place != data() + _size && place->first != key ? data() + _size : place;
  }
  value_type* insertAt(size_type position, unsigned long key);
  void reserve(uint32_t capacity);
  // Frees everything, leaving the empty inline state.
  void release();
  // Frees the heap array (the entries being destroyed already).
  void freeHeap();
  // Moves the entries of `other` into this map, which must be in the empty
  // inline state; `other` is left in that state.
  void take(TimingMap& other) noexcept;

  // The inline slot while `_capacity` is 1, else the heap array.
  union Storage {
    Storage() {}
    ~Storage() {}
    alignas(value_type) unsigned char _inline[sizeof(value_type)];
    value_type* _heap;
  } _storage;
  uint32_t _size = 0;
  uint32_t _capacity = 1;
};

inline void swap(TimingMap& a, TimingMap& b) noexcept {
  a.swap(b);
}

}  // namespace Morva
