#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Morva {

class PoleRegistry;

// Records held back a few lines while the poles they name are fetched into
// the cache: when a record is queued the registry slots of its names, a few
// records later the poles those slots hold, and then the ends of the edge
// lists a new edge joins. A design whose records name poles far apart
// otherwise waits for a cache miss at each name and list. Records leave in
// the order they came; the queue allocates only while its texts grow to
// the longest line.
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
    push(text, line, pole, Name());
  }
  void pushEdge(std::string_view text, std::uint64_t line, const Name& source, const Name& target) {
    push(text, line, source, target);
  }
  // The oldest record, which stays queued until `pop`.
  const std::string& getText() const { return _entries[_first].text; }
  std::uint64_t getLine() const { return _entries[_first].line; }
  // The hash of its source (0) or target (1) name, or of its pole's (0).
  uint32_t getHash(std::size_t side) const { return _entries[_first].hashes[side]; }
  void pop();

 private:
  struct Entry {
    std::string text;
    std::uint64_t line = 0;
    // An edge's source (0) and target (1), or a pole (0).
    std::array<uint32_t, 2> hashes{};
    // Where the look-ahead found the poles.
    std::array<std::size_t, 2> slots{};
    std::array<const PoleRegistry*, 2> registries{};
  };

  // A look-ahead step and how many records after its own it is taken.
  struct Step {
    enum Kind { Pole, FirstEdge, LastEdge } kind;
    std::size_t age;
  };
  static constexpr Step kSteps[] = {{Step::Pole, 4}, {Step::FirstEdge, 8}, {Step::LastEdge, 12}};

  void push(std::string_view text, std::uint64_t line, const Name& first, const Name& second);
  Entry& at(std::size_t position) { return _entries[(_first + position) % kDepth]; }

  std::array<Entry, kDepth> _entries;
  std::size_t _first = 0;
  std::size_t _count = 0;
};

}  // namespace Morva
