#pragma once

#include <Morva/Export.h>

#include <cstdint>

namespace Morva {

// The timing graph's edit counter. Every change of what the graph is made
// of (poles and edges made or destroyed, edge lists, delays, masks, modes,
// types, activity, pairs of clock and data poles) moves it on, so that a
// copy of the graph knows it is out of date by comparing epochs.
class MORVA_API GraphEpoch {
 public:
  static uint64_t get() { return _value; }
  // The one place the epoch moves.
  static void bump() { ++_value; }

 private:
  static uint64_t _value;
};

// A value the timing graph is made of: read as a plain value, changed only
// through `set`, which moves the graph's epoch.
template <class T>
class Graphed {
 public:
  constexpr Graphed(T value) : _value(value) {}
  Graphed(const Graphed&) = delete;
  Graphed& operator=(const Graphed&) = delete;

  operator T() const { return _value; }
  void set(T value) {
    GraphEpoch::bump();
    _value = value;
  }

 private:
  T _value;
};

}  // namespace Morva
