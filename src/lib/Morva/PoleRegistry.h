#pragma once

#include <Morva/Collections.h>
#include <Morva/Export.h>
#include <Orvek/Prefetch.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace Morva {

class Pole;

// The poles of one side of the analyzer (main or dual) by name: found by
// hashing, listed in natural name order (`Orvek::isAlphaLess`). The order
// is worked out when it is first asked for after a change, and each walk
// keeps the order it started with, so poles may be created or destroyed
// while the poles are walked.
//
// The index is one flat array of slots (open addressing, linear probing,
// at most three quarters full) that keep 32 bits of each name's hash
// beside its pole: loading looks two names up per edge, and a probe then
// costs one cache line instead of a bucket, a node and the pole. A slot
// takes 12 bytes (the registry of ten million poles, 192 MiB).
class MORVA_API PoleRegistry {
 public:
  PoleRegistry() = default;
  PoleRegistry(const PoleRegistry&) = delete;
  PoleRegistry& operator=(const PoleRegistry&) = delete;

  Pole* find(std::string_view name) const;
  // The same, with the hash `getHash` gave for the name.
  Pole* find(std::string_view name, uint32_t hash) const;
  // Files the pole under its name, in place of any pole of that name.
  void insert(Pole* pole);
  // Removes the pole if it is the one filed under its name.
  void erase(Pole* pole);
  std::size_t size() const { return _count; }
  // Makes room for `count` poles in all: filing up to that many grows the
  // index no further.
  void reserve(std::size_t count);
  bool empty() const { return _count == 0; }

  // Look-ahead for look-ups to come: the hash a name is filed under, the
  // slot a hash starts at, and (once that slot is in) the pole it holds
  // when it has that hash, fetched into the cache without waiting for them.
  static uint32_t getHash(std::string_view name);
  void prefetchSlot(uint32_t hash) const {
    if (!_slots.empty()) Orvek::prefetch(&_slots[hash & (_slots.size() - 1)]);
  }
  // `prefetchPole` returns the slot it found the pole in (`kNoSlot` for
  // none), which the later steps take to find it again without a search:
  // for an edge to come, the first edge of the pole's incoming or outgoing
  // list, then (once that is in) the last one.
  static constexpr std::size_t kNoSlot = SIZE_MAX;
  std::size_t prefetchPole(uint32_t hash) const;
  void prefetchEdge(std::size_t slot, uint32_t hash, bool incoming, bool last) const;

  // The poles in name order, as a view and as the list itself.
  Poles getPoles() const;
  std::shared_ptr<const std::vector<Pole*>> getOrder() const;
  // Frees the order kept for the next walk (walks under way keep theirs);
  // the next walk works it out again.
  void releaseOrder() const { _order.reset(); }
  // Keeps the poles of `poles` filed here, in name order: the order is
  // worked out among them alone, which costs little when they are few.
  void keepFiled(std::vector<Pole*>& poles) const;
  // Calls `visit` on every pole in no particular order, for work whose
  // result does not depend on it; `visit` must not add or remove poles.
  template <class Visit>
  void forEach(Visit visit) const {
    for (const Slot& slot : _slots)
      if (slot.pole) visit(slot.pole);
  }

 private:
  // Packed: the pointer unaligned costs nothing on the machines the
  // library runs on, and a quarter of the room.
  struct [[gnu::packed]] Slot {
    uint32_t hash;
    Pole* pole;
  };
  static_assert(sizeof(Slot) == 12);

  // The slot of `name`: the one holding it, or the free one that ends its
  // run. The table must have slots.
  std::size_t locate(std::string_view name, uint32_t hash) const;
  // The slot of the first pole of that hash in its run of slots, if the run
  // is short: a guess for look-ahead, whose name is not compared. The pole a
  // slot so found holds, if it still has that hash.
  std::size_t peek(uint32_t hash) const;
  const Pole* peekAt(std::size_t slot, uint32_t hash) const;
  // Moves the poles to a table of `size` slots (a power of two that holds
  // them).
  void rehash(std::size_t size);
  static void sortByName(std::vector<Pole*>& poles);

  std::vector<Slot> _slots;
  std::size_t _count = 0;
  mutable std::shared_ptr<const std::vector<Pole*>> _order;
};

}  // namespace Morva
