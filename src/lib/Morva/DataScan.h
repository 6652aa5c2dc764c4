#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Mode.h>

#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Morva {

// The data scan of domain creation: from every endpoint (output ports, then
// the data inputs of registers) back to the launch points (input ports and
// clock poles) whose data reaches it, creating the domain of every launch
// root and latch root pair met and the subdomain of every pair of clock
// edges. Launch sets are copied forward along the graph and the copy held
// by an inner pole is released as soon as its last reader has taken it.
// Loop-closing edges are counted and reported, never followed.
class DataScan {
 public:
  DataScan(Analyzer& analyzer, const ClockMap& clockMap)
      : _analyzer(analyzer), _clockMap(clockMap) {}

  void run();

 private:
  // Launch root (null for unconstrained inputs) to the launch points whose
  // data reaches a pole.
  using LaunchSets = std::map<Pole*, PoleSet, Object::StampLess>;

  // The walk from one endpoint, depth first over an explicit stack; a pole
  // is marked once its launch sets are complete.
  void walk(Pole* endpoint);
  // Starts the walk of a pole; true when its incoming edges are to be walked.
  bool enter(Pole* pole);
  // Hands the launch sets of `source` on to `pole`.
  void take(Pole* source, Pole* pole);
  void capture(Pole* launchRoot, Pole* latchRoot, Pole* launchPoint, Pole* latchPoint,
               const Mode& latchMode);
  Mode getLaunchMode(Pole* launchPoint) const;
  const LaunchSets* getLaunchSets(Pole* pole) const;
  void scanOutputs();
  void scanRegisters();

  struct Frame {
    Pole* pole;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
    Pole* pending;
  };

  Analyzer& _analyzer;
  const ClockMap& _clockMap;
  std::unordered_map<Pole*, LaunchSets> _launchMap;
  // Readers still to come for each pole's launch sets.
  std::unordered_map<Pole*, unsigned long> _useCounts;
  std::map<std::pair<Pole*, Pole*>, Domain*> _domains;
  std::vector<Frame> _stack;
  unsigned long _loopCount = 0;
};

}  // namespace Morva
