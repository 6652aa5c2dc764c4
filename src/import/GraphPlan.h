#pragma once

#include "SdfData.h"

#include <Morva/Purpose.h>

#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace MorvaImport {

// The poles, edges and clocks a reader has worked out, created in the
// analyzer in one go by `commit`: the poles first (each clock pole followed
// by its dual pole, as the archive loader makes them), then the edges, then
// the clocks. Control edges end at the dual pole of their target's name.
class GraphPlan {
 public:
  struct Pole {
    std::string name;
    bool primary = false;
    char mode = 0;  // 'r' Rising, 'f' Falling, 0 None
  };
  struct Arc {
    int source = 0;
    int target = 0;
    Morva::Purpose::Code purpose = Morva::Purpose::IOPath;
    Bounds bounds;
    bool given = false;       // a delay was given (0-delay wires are not)
    unsigned char sides = 0;  // of a check: 1 hold (minimum) given, 2 setup (maximum) given
  };
  struct Clock {
    int root = 0;
    std::string name;
    long long period = 0;
    long long rising = 0;
    long long falling = 0;
  };

  // The pole of that name, added on first use.
  int addPole(const std::string& name);
  int findPole(const std::string& name) const;
  Pole& getPole(int index) { return _poles[static_cast<std::size_t>(index)]; }
  const std::vector<Pole>& getPoles() const { return _poles; }

  // The arc from `source` to `target` of that purpose, added on first use
  // with a zero delay not yet given.
  Arc& addArc(int source, int target, Morva::Purpose::Code purpose);
  std::vector<Arc>& getArcs() { return _arcs; }

  void addClock(const Clock& clock) { _clocks.push_back(clock); }

  // Creates everything in the analyzer.
  void commit() const;

 private:
  std::vector<Pole> _poles;
  std::unordered_map<std::string, int> _poleIndex;
  std::vector<Arc> _arcs;
  std::map<std::tuple<int, int, int>, std::size_t> _arcIndex;
  std::vector<Clock> _clocks;
};

}  // namespace MorvaImport
