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

// The per-pole table of timing maps of a scanner, iterated in pole creation
// order (`Object::StampLess`).
//
// Propagation looks poles up once per edge, so the table is an index over a
// dense array of entries: a lookup is one probe of a small integer array,
// the entries need no node allocation, and a table of n poles costs two
// arrays instead of n tree nodes. Poles are known by their number
// (`Pole::getNumber`). A small table hashes the numbers and keeps each
// entry's number; once its index would take half the room of one slot per
// pole number, it becomes that: a slot per pole number, found without
// hashing or probing, which the large tables of propagation gain most
// from, and which tells each entry's pole without keeping its number. A
// domain keeps the tables of all its subdomains, so the mid-sized ones stay
// hashed.
//
// Almost every pole's map is one key-0 timing. An entry keeps that timing
// in place, in 8 bytes; any other map is kept aside, in a store whose maps
// never move, and the entry names its place there. Readers are given a map
// either way (`readAt`, `find`): the table's own, or a holder of theirs
// filled with the timing kept in place. A writer (`getAt`, `operator[]`)
// has the map moved aside first; `shrink_to_fit` brings the maps that are
// one key-0 timing again back in place once the table is complete.
//
// A pole destroyed while the table holds it leaves its entry to the pole
// that takes its number next.
//
// Creation order is needed only by the walks that iterate the table (slack
// tagging, records); `begin()` sorts the array by stamp the first time it
// is called after an insertion, which is one O(n log n) sort per filled
// table. Sorting moves entries, so `begin()` invalidates iterators and
// positions obtained before it, as insertions invalidate iterators.
class MORVA_API PoleTimingMap {
 public:
  using key_type = Pole*;
  using mapped_type = TimingMap;
  // An entry as iteration shows it.
  using value_type = std::pair<Pole*, const TimingMap&>;
  using size_type = std::size_t;

  // Iterates the entries in creation order; the map of an entry kept in
  // place lives in the iterator until it moves on.
  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = PoleTimingMap::value_type;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = value_type;

    const_iterator() = default;
    const_iterator(const PoleTimingMap* table, std::size_t position,
                   std::vector<uint32_t> numbers = {})
        : _table(table), _position(position), _numbers(std::move(numbers)) {}

    value_type operator*() const {
      return {getPole(_numbers[_position]), _table->readAt(_position, _holder)};
    }
    const_iterator& operator++() {
      ++_position;
      return *this;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a._position == b._position;
    }

   private:
    const PoleTimingMap* _table = nullptr;
    std::size_t _position = 0;
    // The number of each entry's pole, for the walk.
    std::vector<uint32_t> _numbers;
    mutable TimingMap _holder;
  };

  PoleTimingMap() = default;
  PoleTimingMap(const PoleTimingMap& other) = default;
  PoleTimingMap(PoleTimingMap&& other) noexcept;
  PoleTimingMap& operator=(const PoleTimingMap& other) = default;
  PoleTimingMap& operator=(PoleTimingMap&& other) noexcept;
  ~PoleTimingMap() = default;

  size_type size() const { return _entries.size(); }
  bool empty() const { return _entries.empty(); }

  const_iterator begin() const {
    order();
    return const_iterator(this, 0, getNumbers());
  }
  const_iterator end() const { return const_iterator(this, _entries.size()); }

  // Calls `visit(pole, map)` for every entry in the order the table keeps
  // them, which need not be creation order, without sorting the table:
  // for walks whose result does not depend on the order.
  template <class Visit>
  void visitUnordered(Visit visit) const {
    const std::vector<uint32_t> numbers = getNumbers();
    TimingMap holder;
    for (std::size_t position = 0; position < _entries.size(); ++position)
      visit(getPole(numbers[position]), readAt(position, holder));
  }

  size_type count(const Pole* pole) const { return contains(pole) ? 1 : 0; }
  bool contains(const Pole* pole) const { return locate(getNumber(pole)) != _none; }
  // The map of `pole`, null when it has none; `holder` may receive it.
  const TimingMap* find(const Pole* pole, TimingMap& holder) const {
    const uint32_t position = locate(getNumber(pole));
    return position == _none ? nullptr : &readAt(position, holder);
  }

  // The map of `pole`, entered empty when absent, to be written.
  TimingMap& operator[](Pole* pole) { return getAt(getPosition(pole)); }
  // Positions: handles on entries for walks that come back to one pole's
  // map many times. A position stays valid until the table is iterated
  // (`begin()` may sort it) or cleared. `findPosition` gives `npos` for a
  // pole without entry, `getPosition` enters an empty map for it.
  static constexpr std::size_t npos = ~std::size_t(0);
  std::size_t findPosition(const Pole* pole) const { return findPositionByNumber(getNumber(pole)); }
  std::size_t getPosition(Pole* pole) { return getPositionByNumber(getNumber(pole)); }
  // The same for walks that know the pole's number already: the pole
  // itself is not read.
  std::size_t findPositionByNumber(uint32_t number) const {
    const uint32_t position = locate(number);
    return position == _none ? npos : position;
  }
  std::size_t getPositionByNumber(uint32_t number) { return tryEmplace(number, TimingMap()); }
  // The position of the map of the pole numbered `number`, entered as `map`
  // when absent (a map held already is left as it is).
  std::size_t tryEmplace(uint32_t number, TimingMap&& map);
  // Enters `map` as the map of the pole numbered `number`, replacing the
  // one it held.
  void assign(uint32_t number, TimingMap&& map);

  // The map at `position` to be read: the table's own, or `holder`
  // filled with the timing kept in place.
  const TimingMap& readAt(std::size_t position, TimingMap& holder) const {
    const Entry& entry = _entries[position];
    if (_aside[position]) return _maps[static_cast<uint32_t>(entry.minimum)];
    holder.assign(0, getTiming(entry));
    return holder;
  }
  // Copies the map at `position` into `map`.
  void copyAt(std::size_t position, TimingMap& map) const {
    const TimingMap& found = readAt(position, map);
    if (&found != &map) map = found;
  }
  // The map at `position` to be written, moved aside when kept in place.
  // The reference stays valid until the table is cleared or trimmed.
  TimingMap& getAt(std::size_t position);

  void clear();
  void swap(PoleTimingMap& other) noexcept;
  // Room for `count` poles without growing; and the room of the poles held
  // only, once a table is complete, with every map that is one key-0
  // timing kept in place again. Both keep positions valid.
  void reserve(size_type count);
  void shrink_to_fit();

 private:
  static constexpr uint32_t _none = UINT32_MAX;

  // An entry: the map's key-0 timing, or, when the entry's bit in `_aside`
  // is set, the map's place aside (in `minimum`).
  struct Entry {
    int32_t minimum;
    int32_t maximum;
  };

  // The timing of a map that can be kept in place: one key-0 entry.
  static const Timing* getSingle(const TimingMap& map) {
    return map.size() == 1 && map.begin()->first == 0 ? &map.begin()->second : nullptr;
  }
  static Entry getEntry(const Timing& timing) {
    return Entry{timing.getMinimumDelay().getValue(), timing.getMaximumDelay().getValue()};
  }
  static Timing getTiming(const Entry& entry) {
    return Timing(Delay(entry.minimum), Delay(entry.maximum));
  }
  // Stores `map` at `position`: in place, or aside at the end of `store`.
  void put(std::size_t position, TimingMap&& map, std::deque<TimingMap>& store);
  void keepAside(std::size_t position, uint32_t place);

  // The slot count of an index for `count` entries.
  static std::size_t getSlotCount(size_type count);

  // Pole numbers are dense: the product is folded to spread them.
  static std::size_t getHash(uint32_t number) {
    const uint64_t product = static_cast<uint64_t>(number) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(product ^ (product >> 32));
  }
  static uint32_t getNumber(const Pole* pole);
  static Pole* getPole(uint32_t number);
  // The entry position of the pole numbered `number`, or `_none`.
  uint32_t locate(uint32_t number) const {
    if (_slots.empty()) return _none;
    if (_byNumber) {
      if (number >= _slots.size()) return _none;
      const uint32_t taken = _slots[number];
      return taken != 0 ? taken - 1 : _none;
    }
    const std::size_t mask = _slots.size() - 1;
    for (std::size_t slot = getHash(number) & mask;; slot = (slot + 1) & mask) {
      const uint32_t taken = _slots[slot];
      if (taken == 0) return _none;
      if (_numbers[taken - 1] == number) return taken - 1;
    }
  }
  // The number of each entry's pole, by position.
  std::vector<uint32_t> getNumbers() const;
  // Rebuilds the index for entries numbered `numbers`: hashed with
  // `slotCount` slots, or by pole number when that many slots would take
  // half the room. A hashed index keeps the numbers, one by pole number
  // drops them.
  void rehash(std::size_t slotCount, std::vector<uint32_t> numbers) const;
  void index(std::size_t position, uint32_t number) const;
  void order() const {
    if (!_ordered) sortByStamp();
  }
  void sortByStamp() const;
  // Brings the maps aside that are one key-0 timing back in place, and
  // gives the others a store of their own size.
  void settle();

  // Entries in insertion order until sorted, and which of them have their
  // map aside; an index of slots, at most half of them used when hashed,
  // each the position of an entry plus one (0 marks a free slot); while
  // hashed, the number of each entry. Four bytes a slot: the index is most
  // of a table's memory otherwise, and a domain holds the tables of all its
  // subdomains at once.
  mutable std::vector<Entry> _entries;
  mutable std::vector<bool> _aside;
  mutable std::vector<uint32_t> _slots;
  mutable std::vector<uint32_t> _numbers;
  // The maps kept aside; a deque, so that adding one moves no other.
  std::deque<TimingMap> _maps;
  // The number of the last pole entered, while entries are in stamp order.
  mutable uint32_t _last = 0;
  mutable bool _ordered = true;
  mutable bool _byNumber = false;
};

inline void swap(PoleTimingMap& a, PoleTimingMap& b) noexcept {
  a.swap(b);
}

}  // namespace Morva
