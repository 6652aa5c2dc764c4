#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace Morva {

// One launch class of the data scan: its launch root and launch mode as one
// key (the root's rank in creation order, 0 for none, times four, plus the
// mode's code), and the rank of its first launch point in creation order.
struct LaunchClass {
  uint32_t key;
  uint32_t first;

  static uint32_t makeKey(uint32_t rootRank, int32_t mode) {
    return rootRank * 4 + static_cast<uint32_t>(mode);
  }
  uint32_t getRootRank() const { return key / 4; }
  int32_t getMode() const { return static_cast<int32_t>(key % 4); }

  bool operator==(const LaunchClass&) const = default;
};

// The launch classes that reach a pole, sorted by key. Most poles have one
// or two, which the list keeps inline: a pole's classes then cost no heap
// block, nor the cache miss of reaching one.
class LaunchClassList {
 public:
  LaunchClassList() = default;
  LaunchClassList(const LaunchClassList&) = delete;
  LaunchClassList& operator=(const LaunchClassList&) = delete;
  LaunchClassList(LaunchClassList&& other) noexcept { swap(other); }
  LaunchClassList& operator=(LaunchClassList&& other) noexcept {
    LaunchClassList(std::move(other)).swap(*this);
    return *this;
  }
  ~LaunchClassList() {
    if (isOnHeap()) delete[] _heap;
  }

  bool empty() const { return _size == 0; }
  uint32_t size() const { return _size; }
  const LaunchClass* begin() const { return data(); }
  const LaunchClass* end() const { return data() + _size; }

  void swap(LaunchClassList& other) noexcept;
  // Adds the classes of `from`; of a class both hold, the earlier first
  // launch point stays.
  void merge(const LaunchClassList& from);
  void merge(const LaunchClass* from, uint32_t count);

 private:
  static constexpr uint32_t inlineRoom = 2;
  bool isOnHeap() const { return _capacity > inlineRoom; }
  LaunchClass* data() { return isOnHeap() ? _heap : _inline; }
  const LaunchClass* data() const { return isOnHeap() ? _heap : _inline; }

  uint32_t _size = 0;
  uint32_t _capacity = inlineRoom;
  union {
    LaunchClass _inline[inlineRoom] = {};
    LaunchClass* _heap;
  };
};

inline void LaunchClassList::swap(LaunchClassList& other) noexcept {
  std::swap(_size, other._size);
  std::swap(_capacity, other._capacity);
  // The room is inline classes or a pointer: swapped as bytes either way.
  unsigned char room[sizeof(_inline)];
  std::memcpy(room, _inline, sizeof(room));
  std::memcpy(_inline, other._inline, sizeof(room));
  std::memcpy(other._inline, room, sizeof(room));
}

inline void LaunchClassList::merge(const LaunchClassList& from) {
  merge(from.begin(), from.size());
}

inline void LaunchClassList::merge(const LaunchClass* from, uint32_t count) {
  // The merged size first, so that the merge can run from the back, in
  // place.
  uint32_t merged = _size + count;
  for (const LaunchClass *mine = begin(), *theirs = from, *stop = from + count;
       mine != end() && theirs != stop;) {
    if (mine->key < theirs->key) {
      ++mine;
    } else if (theirs->key < mine->key) {
      ++theirs;
    } else {
      --merged;
      ++mine;
      ++theirs;
    }
  }
  if (merged > _capacity) {
    const uint32_t capacity = std::max(merged, 2 * _capacity);
    auto* heap = new LaunchClass[capacity];
    std::copy(begin(), end(), heap);
    if (isOnHeap()) delete[] _heap;
    _heap = heap;
    _capacity = capacity;
  }
  LaunchClass* classes = data();
  int64_t mine = int64_t(_size) - 1;
  int64_t theirs = int64_t(count) - 1;
  for (int64_t place = int64_t(merged) - 1; theirs >= 0; --place) {
    if (mine >= 0 && classes[mine].key > from[theirs].key) {
      classes[place] = classes[mine--];
    } else if (mine >= 0 && classes[mine].key == from[theirs].key) {
      classes[place] = {from[theirs].key, std::min(classes[mine].first, from[theirs].first)};
      --mine;
      --theirs;
    } else {
      classes[place] = from[theirs--];
    }
  }
  _size = merged;
}

}  // namespace Morva
