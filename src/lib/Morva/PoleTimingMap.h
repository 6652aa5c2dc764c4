#pragma once

#include <Morva/Export.h>
#include <Morva/Timing.h>
#include <Morva/TimingMap.h>
#include <Orvek/Prefetch.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <utility>
#include <vector>

namespace Morva {

class Pole;

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
// Creation order is needed only where the table is iterated (records,
// tests): the entries stay in insertion order, and `begin()` works out the
// creation order of the positions for its iterator when the insertions did
// not follow it, which costs one O(n log n) sort per iteration and moves
// nothing. Walks whose result does not depend on the order use
// `visitUnordered`.
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
    // `order` lists the positions in iteration order (none: every position
    // in turn); `numbers` holds the number of each position's pole.
    const_iterator(const PoleTimingMap* table, std::size_t step, std::vector<uint32_t> order = {},
                   std::vector<uint32_t> numbers = {})
        : _table(table), _position(step), _order(std::move(order)), _numbers(std::move(numbers)) {}

    value_type operator*() const {
      const std::size_t position = _order.empty() ? _position : _order[_position];
      return {getPole(_numbers[position]), _table->readAt(position, _holder)};
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
    // The step of the iteration.
    std::size_t _position = 0;
    std::vector<uint32_t> _order;
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

  const_iterator begin() const;
  const_iterator end() const { return const_iterator(this, _entries.size()); }

  // Calls `visit(pole, map)` for every entry in the order the table keeps
  // them, which need not be creation order, without sorting the table:
  // for walks whose result does not depend on the order. Before a pole is
  // visited, `ahead(pole, step)` is called for it with steps 0 to `steps`
  // - 1, a few entries apart, each to fetch a part of what its visit will
  // read that the step before made readable; the pole itself is fetched
  // before step 0.
  template <int steps, class Visit, class Ahead>
  void visitUnordered(Visit visit, Ahead ahead) const {
    const std::vector<uint32_t> numbers = getNumbers();
    TimingMap holder;
    constexpr std::size_t distance = 4;
    const std::size_t size = _entries.size();
    for (std::size_t position = 0; position < size; ++position) {
      if (position + (steps + 1) * distance < size)
        Orvek::prefetch(getPole(numbers[position + (steps + 1) * distance]));
      for (int step = 0; step < steps; ++step) {
        const std::size_t upcoming = position + static_cast<std::size_t>(steps - step) * distance;
        if (upcoming < size) ahead(getPole(numbers[upcoming]), step);
      }
      visit(getPole(numbers[position]), readAt(position, holder));
    }
  }
  // Fetches the entry of a pole's map, if it has one, for a look-up to come.
  void prefetch(const Pole* pole) const {
    const uint32_t position = locate(getNumber(pole));
    if (position != _none) Orvek::prefetch(&_entries[position]);
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
  // map many times. A position stays valid until the table is cleared. `findPosition` gives `npos`
  // for a pole without entry, `getPosition` enters an empty map for it.
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
  void rehash(std::size_t slotCount, std::vector<uint32_t> numbers);
  void index(std::size_t position, uint32_t number);
  // Brings the maps aside that are one key-0 timing back in place, and
  // gives the others a store of their own size.
  void settle();

  // Entries in insertion order, and which of them have their
  // map aside; an index of slots, at most half of them used when hashed,
  // each the position of an entry plus one (0 marks a free slot); while
  // hashed, the number of each entry. Four bytes a slot: the index is most
  // of a table's memory otherwise, and a domain holds the tables of all its
  // subdomains at once.
  std::vector<Entry> _entries;
  std::vector<bool> _aside;
  std::vector<uint32_t> _slots;
  std::vector<uint32_t> _numbers;
  // The maps kept aside; a deque, so that adding one moves no other.
  std::deque<TimingMap> _maps;
  // The number of the last pole entered, and whether the insertions
  // followed creation order.
  uint32_t _last = 0;
  bool _ordered = true;
  bool _byNumber = false;
};

inline void swap(PoleTimingMap& a, PoleTimingMap& b) noexcept {
  a.swap(b);
}

}  // namespace Morva
