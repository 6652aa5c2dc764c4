#pragma once

#include <Morva/Collections.h>
#include <Morva/Delay.h>
#include <Morva/DomainMask.h>
#include <Morva/Export.h>
#include <Morva/GraphEpoch.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/Purpose.h>
#include <Orvek/Prefetch.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace Morva {

class Pole;
class Edge;

// The edges that enter one pole, or leave it, in creation order (stamp
// order). The links live in the edges themselves: a pole's edges cost it no
// allocation, and an edge joins or leaves its lists in constant time (a
// joining edge is placed from the end of the list, where new edges go).
// The first edge's backward link names the last one, so that a list takes
// 16 bytes of its pole.
class MORVA_API EdgeList {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Edge*;
    using difference_type = std::ptrdiff_t;
    using pointer = Edge* const*;
    using reference = Edge* const&;

    const_iterator() = default;
    const_iterator(Edge* edge, bool incoming) : _edge(edge), _incoming(incoming) {}
    Edge* const& operator*() const { return _edge; }
    inline const_iterator& operator++();
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const const_iterator& other) const { return _edge == other._edge; }

   private:
    Edge* _edge = nullptr;
    bool _incoming = false;
  };
  using iterator = const_iterator;

  explicit EdgeList(bool incoming) : _incoming(incoming) {}
  EdgeList(const EdgeList&) = delete;
  EdgeList& operator=(const EdgeList&) = delete;

  const_iterator begin() const { return {_first, _incoming}; }
  const_iterator end() const { return {nullptr, _incoming}; }
  std::size_t size() const { return _size; }
  bool empty() const { return _size == 0; }
  inline bool contains(const Edge* edge) const;

  // Adds an edge whose links of this side are free; an edge already in the
  // list stays as it is.
  void insert(Edge* edge);
  // Removes an edge of the list; any other edge is left alone.
  void erase(Edge* edge);

  // Fetches the first edge into the cache, for a walk of the list to come.
  void prefetchFirst() const { prefetch(_first); }
  // Fetches the second edge; the first must be at hand.
  void prefetchSecond() const {
    if (_first) prefetch(next(_first));
  }
  // Fetches the last edge, where a new one joins; the first must be at hand.
  void prefetchLast() const { prefetch(getLast()); }

 private:
  inline Edge*& previous(Edge* edge) const;
  inline Edge*& next(Edge* edge) const;

  Edge* getLast() const { return _first ? previous(_first) : nullptr; }
  // Both cache lines an edge's stamp and links may lie on.
  static void prefetch(const Edge* edge) {
    if (!edge) return;
    Orvek::prefetch(edge);
    Orvek::prefetch(reinterpret_cast<const char*>(edge) + 64);
  }

  Edge* _first = nullptr;
  uint32_t _size = 0;
  bool _incoming;
};

using EdgeSet = EdgeList;

// A collection of edges with filtered views. The views are lazy and may be
// combined; over a pole's edge set they stay allocation-free.
class MORVA_API Edges : public Orvek::Collection<Edge*> {
 public:
  // Filters an edge must pass, one bit each.
  enum Filter : unsigned char {
    Active = 1,
    Internal = 2,
    External = 4,
    IOPaths = 8,
    SetupHolds = 16,
    Interconnects = 32,
    RecoveryRemovals = 64,
    Controls = 128
  };

  Edges() = default;
  Edges(const Orvek::Collection<Edge*>& collection) : Orvek::Collection<Edge*>(collection) {}
  explicit Edges(const EdgeSet& set);

  Edges getActives() const { return filter(Active); }
  Edges getInternals() const { return filter(Internal); }
  Edges getExternals() const { return filter(External); }
  Edges getIOPaths() const { return filter(IOPaths); }
  Edges getSetupHolds() const { return filter(SetupHolds); }
  Edges getInterconnects() const { return filter(Interconnects); }
  Edges getRecoveryRemovals() const { return filter(RecoveryRemovals); }
  Edges getControls() const { return filter(Controls); }

  static bool isAccepted(const Edge* edge, unsigned filters);

 private:
  Edges filter(unsigned char filter) const;
};

// A timing arc from a source pole to a target pole, with its purpose, its
// minimum and maximum delays and the state each analysis writes into it.
// Flags: 1 and 2 the purpose, 3 the active state.
class MORVA_API Edge : public Object {
 public:
  static Edge* create(Pole* source, Pole* target, const Purpose& purpose);
  static Edge* createIOPath(Pole* source, Pole* target);
  static Edge* createSetupHold(Pole* source, Pole* target);
  static Edge* createRecoveryRemoval(Pole* source, Pole* target);
  static Edge* createInterconnect(Pole* source, Pole* target);
  static void preCreate(Pole* source, Pole* target, const Purpose& purpose);

  Pole* getSource() const { return _source; }
  // The source's number, kept here so that a copy of the graph by number
  // need not read the source.
  uint32_t getSourceNumber() const { return _sourceNumber; }
  Pole* getTarget() const { return _target; }
  Purpose getPurpose() const { return Purpose(purposeCode()); }
  std::string getName() const;
  std::string getAlias() const override;

  Delay getMinimumDelay() const { return Delay(_minimumDelay); }
  void setMinimumDelay(const Delay& delay);
  Delay getMaximumDelay() const { return Delay(_maximumDelay); }
  void setMaximumDelay(const Delay& delay);
  Delay getSlack() const { return Delay(_slack); }
  void setSlack(const Delay& slack) { _slack = static_cast<int>(slack); }
  unsigned long getWeight() const { return _weight; }
  void setWeight(unsigned long weight) { _weight = weight; }

  Mask getMask() const { return Mask(getMaskNumber()); }
  unsigned long getMaskNumber() const { return unpackMaskNumber(_maskNumber); }
  void sensitize(const Mask& mask);
  DomainMask getDomainMask() const { return DomainMask(unpackMaskNumber(_domainMaskNumber)); }
  void setDomainMask(const DomainMask& mask) {
    _domainMaskNumber = packMaskNumber(mask.getNumber());
  }

  void activate();
  void disactivate();
  void reset();

  bool isActive() const { return flag(3); }
  bool isIOPath() const { return purposeCode() == Purpose::IOPath; }
  bool isSetupHold() const { return purposeCode() == Purpose::SetupHold; }
  bool isRecoveryRemoval() const { return purposeCode() == Purpose::RecoveryRemoval; }
  bool isInterconnect() const { return purposeCode() == Purpose::Interconnect; }
  bool isExternal() const { return isInterconnect(); }
  bool isInternal() const { return !isInterconnect(); }
  bool isControl() const { return flag(1) != flag(2); }

  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

  // Edges live in a pool of their own.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size);

 protected:
  Edge(Pole* source, Pole* target, const Purpose& purpose);
  void postCreate(Pole* source, Pole* target, const Purpose& purpose);
  void preDestroy() override;

 private:
  friend class EdgeList;

  Purpose::Code purposeCode() const {
    return static_cast<Purpose::Code>((flag(1) ? 2 : 0) | (flag(2) ? 1 : 0));
  }

  Pole* _source;
  Pole* _target;
  // Links in the target's incoming list (0) and in the source's outgoing
  // list (1).
  Edge* _previous[2] = {nullptr, nullptr};
  Edge* _next[2] = {nullptr, nullptr};
  Graphed<uint32_t> _maskNumber = 0;
  uint32_t _domainMaskNumber = 0;
  unsigned long _weight = 0;
  Graphed<int> _minimumDelay;
  Graphed<int> _maximumDelay;
  int _slack;
  uint32_t _sourceNumber;
};

Edge*& EdgeList::previous(Edge* edge) const {
  return edge->_previous[_incoming ? 0 : 1];
}

Edge*& EdgeList::next(Edge* edge) const {
  return edge->_next[_incoming ? 0 : 1];
}

// A listed edge always has a backward link: the first one's names the last.
bool EdgeList::contains(const Edge* edge) const {
  return edge && edge->_previous[_incoming ? 0 : 1] != nullptr;
}

EdgeList::const_iterator& EdgeList::const_iterator::operator++() {
  _edge = _edge->_next[_incoming ? 0 : 1];
  return *this;
}

}  // namespace Morva
