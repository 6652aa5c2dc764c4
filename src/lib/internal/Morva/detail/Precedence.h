#pragma once

#include <Morva/CPath.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Morva/Pole.h>
#include <Morva/TimingMap.h>

namespace Morva {

class Analyzer;
class Subdomain;

// The path constraint as a delay or multicycle path, by its kind; null
// when it is of another kind.
inline DPath* asDelayPath(CPath* path) {
  return path && path->getKind() == CPath::Kind::Delay ? static_cast<DPath*>(path) : nullptr;
}
inline MPath* asMulticyclePath(CPath* path) {
  return path && path->getKind() == CPath::Kind::Multicycle ? static_cast<MPath*>(path) : nullptr;
}

// The class of the paths after `edge`: the constraints opening at its
// source join, only those the edge belongs to survive, those opening at
// its target join.
inline Mask getEdgeClass(const Edge* edge, const Mask& mask) {
  return ((mask | edge->getSource()->getOpeningMask()) & edge->getMask()) |
         edge->getTarget()->getOpeningMask();
}

// Which path constraint governs a class of paths, over the constraints of
// one analysis: delay paths before multicycle paths for the longest routes,
// minimum delay paths first for the shortest, the tightest of a kind first.
//
// With a subdomain, it also applies the cycle counts of multicycle paths
// between the subdomain's launch and latch clock edges.
class Precedence {
 public:
  explicit Precedence(const Analyzer& analyzer, const Subdomain* subdomain = nullptr);

  // The mask of the governing constraint of class `mask` (empty if none).
  Mask getPriorityMask(const Mask& mask, bool longest) const;

  // The smallest cycle count of the multicycle paths of class `mask`, and
  // the first of them in mask order; a null path (and the count 10^8)
  // when the class holds none.
  struct Cycles {
    MPath* first = nullptr;
    double count = 100000000.0;
  };
  Cycles getCycles(const Mask& mask) const;

  // The following need the subdomain.
  // Divides the latest arrivals of each multicycle class by its cycle
  // count (the delay path classes give up their maximum or minimum first).
  void divideCycleCount(TimingMap& map) const;
  // The half-period factor of multicycle corrections between the launch
  // and latch clock edges of the subdomain.
  double getCycleFactor() const;
  // Under SDC conventions, how much later a multicycle path of `cycles`
  // cycles moves the setup capture edge: cycles - 1 periods of the latch
  // clock (0 without a latch period).
  Delay getCycleExtension(unsigned long cycles) const;

 private:
  const Analyzer& _analyzer;
  const Subdomain* _subdomain;
  Mask _maxdelay;
  Mask _mindelay;
  Mask _multicycle;
};

}  // namespace Morva
