#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Delay.h>

namespace Morva {

// Edge weights from the slacks of an analysis: every edge on a critical path
// (slack not above a limit) gets a rank from 1 to about 10 that grows with
// the number of critical paths through it.
class WeightTagger {
 public:
  explicit WeightTagger(Analyzer& analyzer) : _analyzer(analyzer) {}

  // The slack below which about `ratio` of all edges lie, distinct slacks
  // counted once; the maximum delay when no edge has a slack.
  Delay getLimit(float ratio) const;
  void tag(const Delay& limit);
  // The number of critical paths from initial poles to each pole.
  void countForward(const Delay& limit, PathCountMap& counts);
  // The number of critical paths from each pole to terminal poles.
  void countBackward(const Delay& limit, PathCountMap& counts);

 private:
  template <bool forward>
  void count(const Delay& limit, PathCountMap& counts);
  template <bool forward>
  void walk(Pole* start, const Delay& limit, PathCountMap& counts);

  Analyzer& _analyzer;
};

}  // namespace Morva
