#pragma once

#include <Morva/Collections.h>
#include <Morva/detail/Sweep.h>
#include <Morva/detail/Walk.h>

#include <optional>
#include <vector>

namespace Morva {

class Pole;

// The walks of one pass, from its start points in turn: by a sweep over
// all of them, made up front, when it gives their result, else walk by
// walk. The starts given must be those the pass walks from, in order.
template <class Pass>
class Propagation {
 public:
  // When swept, `mapped`, if given, receives the poles given a map, by
  // index in the graph image.
  Propagation(Pass& pass, const std::vector<Pole*>& starts, std::vector<bool>* mapped = nullptr)
      : _pass(pass) {
    if (!Sweep<Pass>::isUsable(pass.getTable())) return;
    try {
      Sweep<Pass> sweep(pass);
      sweep.run(starts, mapped);
      _swept = true;
    } catch (...) {
      // Walked instead, the pass fails where the walks do.
      pass.getTable().clear();
    }
  }

  bool isSwept() const { return _swept; }

  void walkFrom(Pole* start) {
    if (_swept) {
      _starts.push_back(start);
      return;
    }
    if (!_walk) _walk.emplace(_pass, _visited);
    _walk->run(start);
  }

  // When the pass fails, leaves the table and the marks as the walks so
  // far would have left them.
  void fail() {
    if (_swept) {
      _pass.getTable().clear();
      _walk.emplace(_pass, _visited);
      for (Pole* start : _starts) _walk->run(start);
    }
    if (_walk) _walk->publishMarks();
  }

 private:
  Pass& _pass;
  const PoleSet _visited;
  bool _swept = false;
  // The starts walked from so far, when swept.
  std::vector<Pole*> _starts;
  std::optional<Walk<Pass>> _walk;
};

}  // namespace Morva
