#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Morva {

class Pole;

// The set of poles on the current path of a walk: open addressing with
// linear probing and backward-shift deletion, so that entering and leaving
// a pole costs a probe and no allocation once the table has grown.
class PathSet {
 public:
  bool contains(const Pole* pole) const {
    if (_count == 0) return false;
    for (std::size_t slot = getSlot(pole);; slot = (slot + 1) & _mask) {
      if (_slots[slot] == pole) return true;
      if (!_slots[slot]) return false;
    }
  }

  void insert(Pole* pole) {
    if (2 * (_count + 1) > _slots.size()) grow();
    std::size_t slot = getSlot(pole);
    while (_slots[slot]) {
      if (_slots[slot] == pole) return;
      slot = (slot + 1) & _mask;
    }
    _slots[slot] = pole;
    ++_count;
  }

  void erase(const Pole* pole) {
    if (_count == 0) return;
    std::size_t hole = getSlot(pole);
    while (_slots[hole] != pole) {
      if (!_slots[hole]) return;
      hole = (hole + 1) & _mask;
    }
    // Move back every later entry of the run whose home slot does not lie
    // cyclically in (hole, slot].
    for (std::size_t slot = (hole + 1) & _mask; _slots[slot]; slot = (slot + 1) & _mask) {
      const std::size_t home = getSlot(_slots[slot]);
      const bool between =
          hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
      if (!between) {
        _slots[hole] = _slots[slot];
        hole = slot;
      }
    }
    _slots[hole] = nullptr;
    --_count;
  }

 private:
  std::size_t getSlot(const Pole* pole) const {
    const uint64_t product =
        static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(pole)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(product ^ (product >> 32)) & _mask;
  }

  void grow() {
    std::vector<Pole*> old;
    old.swap(_slots);
    _slots.assign(old.empty() ? 64 : 2 * old.size(), nullptr);
    _mask = _slots.size() - 1;
    _count = 0;
    for (Pole* pole : old)
      if (pole) insert(pole);
  }

  std::vector<Pole*> _slots;
  std::size_t _mask = 0;
  std::size_t _count = 0;
};

}  // namespace Morva
