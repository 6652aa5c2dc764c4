#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Morva {

class PoleRegistry;

// Records held back a few lines while what reading them touches is fetched
// into the cache, one step every few lines: the registry slots of the names
// they give, the poles those slots hold, and for an `EDGE` record the first
// edge of the source's outgoing and of the target's incoming list, then the
// last edge of each, behind which the new edge goes. A design whose records
// name poles far apart otherwise waits for a cache miss at each of these.
// Records leave in the order they came; the queue allocates only while its
// texts grow to the longest line.
class RecordLookAhead {
 public:
  static constexpr std::size_t kDepth = 16;

  // A pole name of a record and the registry it is looked up in; a null
  // registry for no name.
  struct Name {
    std::string_view text;
    const PoleRegistry* registry = nullptr;
  };

  bool isEmpty() const { return _count == 0; }
  bool isFull() const { return _count == kDepth; }

  // Queues a copy of `text`, read at `line`, naming one pole (a `POLE`
  // record) or the source and target of an edge. The queue must not be
  // full.
  void pushPole(std::string_view text, std::uint64_t line, const Name& pole) {
    push(text, line, pole, Name(), false);
  }
  void pushEdge(std::string_view text, std::uint64_t line, const Name& source, const Name& target) {
    push(text, line, source, target, true);
  }
  // The oldest record, which stays queued until `pop`.
  const std::string& getText() const { return _entries[_first].text; }
  std::uint64_t getLine() const { return _entries[_first].line; }
  void pop();

 private:
  struct Entry {
    std::string text;
    std::uint64_t line = 0;
    // An edge's source (0) and target (1), or a pole (0).
    std::array<uint32_t, 2> hashes{};
    std::array<const PoleRegistry*, 2> registries{};
    bool edge = false;
  };

  void push(std::string_view text, std::uint64_t line, const Name& first, const Name& second,
            bool edge);
  Entry& at(std::size_t position) { return _entries[(_first + position) % kDepth]; }
  // Fetches step `step` (1 to 3) for the record queued `kStride * step`
  // records before the newest, if there is one.
  void prefetch(std::size_t step);

  static constexpr std::size_t kStride = kDepth / 4;

  std::array<Entry, kDepth> _entries;
  std::size_t _first = 0;
  std::size_t _count = 0;
};

}  // namespace Morva
