#pragma once

#include <Morva/Delay.h>
#include <Morva/Mask.h>
#include <Morva/Timing.h>
#include <Morva/TimingMap.h>

namespace Morva::TimingMaps {

// The operations the passes apply to timing maps, one timing per class of
// path constraints. Shifts: the addDelay and minusDelay forms use the
// wrapping Timing arithmetic; the others the bounded Delay arithmetic, the
// minimum component first. Two-delay forms take the lower bound first.
void addDelay(const Delay& minimum, const Delay& maximum, TimingMap& map);
void minusDelay(const Delay& minimum, const Delay& maximum, TimingMap& map);
void takeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map);
void freeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map);
void addLatchTiming(const Timing& latch, TimingMap& map);
void minusLatchTiming(const Timing& latch, TimingMap& map);

// The setup and hold shifts of one timing: into a register's data side the
// window widens, out of it it narrows.
void takeSetupHold(const Delay& minimum, const Delay& maximum, Timing& timing);
void freeSetupHold(const Delay& minimum, const Delay& maximum, Timing& timing);

// Re-keying and filtering. `combine` merges `source` into `target` key by
// key; `sensibilize` keeps of each key the constraints in `mask`, `mingle`
// adds those of `mask`, both merging the entries that meet; `filter`
// drops the entries that meet `mask`, or with two masks gives up the
// maximum (minimum) of the entries that meet `maxMask` (`minMask`).
void combine(const TimingMap& source, TimingMap& target);
void sensibilize(const Mask& mask, TimingMap& map);
void mingle(const Mask& mask, TimingMap& map);
void filter(const Mask& mask, TimingMap& map);
void filter(const Mask& maxMask, const Mask& minMask, TimingMap& map);

// The earliest minimum and the latest maximum over all entries, skipping
// Undefined ones ((Maximum, Minimum) for an empty map).
Timing getEnvelope(const TimingMap& map);

// The required time left for a class once the entries sharing one of the
// constraints of `mask` are dropped and the rest merged: the earliest
// minimum (`minimum`) or the latest maximum of those entries, Undefined if
// none.
Delay getFreeRequired(const TimingMap& required, const Mask& mask, bool minimum);

// The entry of `key` of `map`, or (Undefined, Undefined).
Timing getEntry(const TimingMap& map, unsigned long key);

// Whether two classes share a constraint.
inline bool meets(const Mask& a, const Mask& b) {
  return (a & b).getNumber() != 0;
}

}  // namespace Morva::TimingMaps
