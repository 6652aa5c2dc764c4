#pragma once

#include <Morva/Analyzer.h>
#include <Morva/Mask.h>
#include <Morva/Pole.h>
#include <Morva/PoleTimingMap.h>
#include <Morva/Scanner.h>
#include <Morva/TimingMap.h>
#include <Morva/detail/GraphImage.h>
#include <Morva/detail/TimingMaps.h>

#include <cstdint>
#include <vector>

namespace Morva {

// The three propagation passes of a scanner, as the policies the walks and
// sweeps (Walk.h, Sweep.h) run: which arcs a pass follows and in which
// direction, where it ends, how it shifts a timing across an arc and which
// masks cut and start classes.
namespace Passes {

using Arc = GraphImage::Arc;

// The number of the mask a pole or edge holds as `packed`, as its Mask
// would give it: a number the mask tables no longer hold reads as invalid.
inline unsigned long getMaskNumber(uint32_t packed) {
  return packed == 0 ? 0 : Mask(unpackMaskNumber(packed)).getNumber();
}

// Which poles of the graph image are in `poles`, by index.
inline std::vector<bool> indexPoles(const std::vector<Pole*>& poles) {
  const GraphImage& image = GraphImage::get();
  std::vector<bool> indexed(image.getSize(), false);
  for (const Pole* pole : poles) {
    const uint32_t index = image.getIndex(pole);
    if (index != GraphImage::none) indexed[index] = true;
  }
  return indexed;
}

// The false-path cut of a pole, its closing mask & the false-path mask.
class FalsePathCut {
 public:
  explicit FalsePathCut(const Mask& falsePaths)
      : _falsePaths(falsePaths), _ofNone((Mask() & falsePaths).getNumber()) {}
  unsigned long get(uint32_t closing) const {
    return closing == 0 ? _ofNone : (Mask(unpackMaskNumber(closing)) & _falsePaths).getNumber();
  }

 private:
  Mask _falsePaths;
  unsigned long _ofNone;
};

// Clock arrivals, travelling backward from a leaf to the clock root along
// cell arcs and interconnect.
struct ClockPass {
  ClockPass(Pole* root, PoleTimingMap& clocks)
      : root(root ? GraphImage::get().getIndex(root) : GraphImage::none),
        clocks(clocks),
        falsePathMask(analyzer->getFalsePathMask()),
        cut(falsePathMask) {}

  uint32_t root;
  PoleTimingMap& clocks;
  Mask falsePathMask;
  FalsePathCut cut;

  PoleTimingMap& getTable() { return clocks; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginIncoming(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endIncoming(pole);
  }
  static bool isFollowed(const Arc& arc) { return arc.carriesClock(); }
  static bool isRefused(const GraphImage&, uint32_t) { return false; }
  bool isEnd(const GraphImage&, uint32_t pole) const { return pole == root; }
  void handleEnd(const GraphImage& image, uint32_t index) {
    Pole* pole = image.getPole(index);
    TimingMap& map = clocks[pole];
    map = TimingMap{{0, Timing(Delay(0), Delay(0))}};
    TimingMaps::mingle(pole->getOpeningMask() & falsePathMask, map);
  }
  unsigned long getCutMask(const GraphImage& image, uint32_t pole) const {
    return cut.get(image.getClosingMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  static void shift(const GraphImage&, const Arc& arc, uint32_t, Timing& timing) {
    timing += Timing(Delay(arc.minimum), Delay(arc.maximum));
  }
};

// Data arrivals, travelling backward from a pole to the launch leaves.
struct ArrivalPass {
  static constexpr bool fromLower = true;

  ArrivalPass(Scanner& scanner, PoleTimingMap& arrivals, const std::vector<Pole*>& launchLeaves,
              void (Scanner::*start)(const GraphImage&, uint32_t))
      : scanner(scanner),
        arrivals(arrivals),
        launchLeaves(indexPoles(launchLeaves)),
        start(start),
        cut(analyzer->getFalsePathMask()) {}

  Scanner& scanner;
  PoleTimingMap& arrivals;
  std::vector<bool> launchLeaves;
  // Gives a launch leaf its arrival.
  void (Scanner::*start)(const GraphImage&, uint32_t);
  FalsePathCut cut;

  PoleTimingMap& getTable() { return arrivals; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginIncoming(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endIncoming(pole);
  }
  static bool isFollowed(const Arc&) { return true; }
  static bool isRefused(const GraphImage&, uint32_t) { return false; }
  static const std::vector<bool>* getReached() { return nullptr; }
  static bool isEnd(const GraphImage& image, uint32_t pole) {
    return image.hasFact(pole, GraphImage::Initial);
  }
  // A start point that is not a launch leaf gets no arrival.
  void handleEnd(const GraphImage& image, uint32_t pole) {
    if (launchLeaves[pole]) (scanner.*start)(image, pole);
  }
  unsigned long getCutMask(const GraphImage& image, uint32_t pole) const {
    return cut.get(image.getClosingMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  // The edge's target is the pole being computed: into a register's data
  // side, the check arc widens the window by the hold and setup times.
  static void shift(const GraphImage& image, const Arc& arc, uint32_t pole, Timing& timing) {
    if (image.hasFact(pole, GraphImage::Dual))
      TimingMaps::takeSetupHold(Delay(arc.minimum), Delay(arc.maximum), timing);
    else
      timing += Timing(Delay(arc.minimum), Delay(arc.maximum));
  }
};

// The capture point of an end point: its clock pole, or under SDC
// conventions an output port itself (its output delay times it).
inline uint32_t getCaptureIndex(const GraphImage& image, uint32_t end) {
  const uint32_t clock = image.getClock(end);
  if (clock == GraphImage::none && analyzer->isSdc() && image.hasFact(end, GraphImage::Output))
    return end;
  return clock;
}

// Required times, travelling forward from a pole to the capture side.
struct RequirePass {
  static constexpr bool fromLower = false;

  Scanner& scanner;
  PoleTimingMap& required;
  const PoleTimingMap& arrivals;
  // The poles with an arrival by index, when known.
  const std::vector<bool>* arrivalIndices;
  // The subdomain's latch leaves by index, and whether it has a latch root.
  std::vector<bool> latchLeaves;
  bool latchRoot;
  // Gives an end point its required time.
  void (Scanner::*end)(const GraphImage&, uint32_t);

  PoleTimingMap& getTable() { return required; }
  static const Arc* beginArcs(const GraphImage& image, uint32_t pole) {
    return image.beginOutgoing(pole);
  }
  static const Arc* endArcs(const GraphImage& image, uint32_t pole) {
    return image.endOutgoing(pole);
  }
  static bool isFollowed(const Arc&) { return true; }
  // The poles with an arrival are those the walks from the launch leaves
  // with an arrival enter: each got its arrival from a far end with one,
  // back to a launch leaf, and the walks enter no other pole.
  const std::vector<bool>* getReached() const { return arrivalIndices; }
  // Only poles with an arrival time are entered.
  bool isRefused(const GraphImage& image, uint32_t pole) const {
    if (arrivalIndices) return !(*arrivalIndices)[pole];
    return arrivals.findPositionByNumber(image.getNumber(pole)) == PoleTimingMap::npos;
  }
  static bool isEnd(const GraphImage& image, uint32_t pole) {
    return image.hasFact(pole, GraphImage::Terminal);
  }
  // With a latch root, an end point whose clock is a latch leaf gets a
  // required time; without, an end point that is a latch leaf.
  void handleEnd(const GraphImage& image, uint32_t index) {
    const uint32_t captured = latchRoot ? getCaptureIndex(image, index) : index;
    if (captured != GraphImage::none && latchLeaves[captured]) (scanner.*end)(image, index);
  }
  static unsigned long getCutMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getOpeningMask(pole));
  }
  static unsigned long getStartMask(const GraphImage& image, uint32_t pole) {
    return getMaskNumber(image.getClosingMask(pole));
  }
  static void shift(const GraphImage& image, const Arc& arc, uint32_t, Timing& timing) {
    if (image.hasFact(arc.getFar(), GraphImage::Dual))
      TimingMaps::freeSetupHold(Delay(arc.minimum), Delay(arc.maximum), timing);
    else
      timing -= Timing(Delay(arc.maximum), Delay(arc.minimum));
  }
};

}  // namespace Passes

}  // namespace Morva
