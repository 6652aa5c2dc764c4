#include <Morva/detail/TimingMaps.h>

namespace Morva::TimingMaps {

void addDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  const Timing shift(minimum, maximum);
  for (auto& entry : map) entry.second += shift;
}

void minusDelay(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  // The earliest arrival loses the largest delay and the latest the smallest.
  const Timing shift(maximum, minimum);
  for (auto& entry : map) entry.second -= shift;
}

void takeSetupHold(const Delay& minimum, const Delay& maximum, Timing& timing) {
  timing.setMinimumDelay(timing.getMinimumDelay() - minimum);
  timing.setMaximumDelay(timing.getMaximumDelay() + maximum);
}

void freeSetupHold(const Delay& minimum, const Delay& maximum, Timing& timing) {
  timing.setMinimumDelay(timing.getMinimumDelay() - maximum);
  timing.setMaximumDelay(timing.getMaximumDelay() + minimum);
}

void takeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  for (auto& entry : map) takeSetupHold(minimum, maximum, entry.second);
}

void freeSetupHold(const Delay& minimum, const Delay& maximum, TimingMap& map) {
  for (auto& entry : map) freeSetupHold(minimum, maximum, entry.second);
}

void addLatchTiming(const Timing& latch, TimingMap& map) {
  for (auto& [key, timing] : map) {
    timing.setMinimumDelay(timing.getMinimumDelay() + latch.getMinimumDelay());
    timing.setMaximumDelay(timing.getMaximumDelay() + latch.getMaximumDelay());
  }
}

void minusLatchTiming(const Timing& latch, TimingMap& map) {
  for (auto& [key, timing] : map) {
    timing.setMinimumDelay(timing.getMinimumDelay() - latch.getMaximumDelay());
    timing.setMaximumDelay(timing.getMaximumDelay() - latch.getMinimumDelay());
  }
}

void combine(const TimingMap& source, TimingMap& target) {
  for (const auto& [key, timing] : source) target[key].combine(timing);
}

namespace {

// Files every entry of `map` under `getKey(old key)`, merging the entries
// that meet under one key, in ascending order of the old keys. A map whose
// keys all stay in place is left as it is.
template <class GetKey>
void rekey(TimingMap& map, GetKey getKey) {
  bool moved = false;
  for (const auto& entry : map) {
    if (getKey(entry.first) != entry.first) {
      moved = true;
      break;
    }
  }
  if (!moved) return;
  TimingMap rekeyed;
  for (const auto& [key, timing] : map) rekeyed[getKey(key)].combine(timing);
  map.swap(rekeyed);
}

}  // namespace

void sensibilize(const Mask& mask, TimingMap& map) {
  // The empty class stays empty whatever the mask: the common map, a
  // single entry under key 0, is left as it is.
  if (map.size() == 1 && map.begin()->first == 0) return;
  rekey(map, [&mask](unsigned long key) { return (Mask(key) & mask).getNumber(); });
}

void mingle(const Mask& mask, TimingMap& map) {
  if (mask.getNumber() == 0) return;
  rekey(map, [&mask](unsigned long key) { return (Mask(key) | mask).getNumber(); });
}

void filter(const Mask& mask, TimingMap& map) {
  if (mask.getNumber() == 0) return;
  for (auto entry = map.begin(); entry != map.end();) {
    if (meets(Mask(entry->first), mask))
      entry = map.erase(entry);
    else
      ++entry;
  }
}

void filter(const Mask& maxMask, const Mask& minMask, TimingMap& map) {
  if (maxMask == minMask) {
    filter(maxMask, map);
    return;
  }
  for (auto& [key, timing] : map) {
    const Mask mask(key);
    if (meets(mask, maxMask)) timing.setMaximumDelay(Delay::getMinimum());
    if (meets(mask, minMask)) timing.setMinimumDelay(Delay::getMaximum());
  }
}

Timing getEnvelope(const TimingMap& map) {
  Delay low = Delay::getMaximum();
  Delay high = Delay::getMinimum();
  for (const auto& [key, timing] : map) {
    const Delay minimum = timing.getMinimumDelay();
    const Delay maximum = timing.getMaximumDelay();
    if (low == Delay::getUndefined())
      low = minimum;
    else if (minimum != Delay::getUndefined() && minimum < low)
      low = minimum;
    if (high == Delay::getUndefined())
      high = maximum;
    else if (maximum != Delay::getUndefined() && high < maximum)
      high = maximum;
  }
  return Timing(low, high);
}

Delay getFreeRequired(const TimingMap& required, const Mask& mask, bool minimum) {
  Timing merged;
  const bool filtering = mask.getNumber() != 0;
  for (const auto& [key, timing] : required)
    if (!filtering || !meets(Mask(key), mask)) merged.combine(timing);
  return minimum ? merged.getMinimumDelay() : merged.getMaximumDelay();
}

Timing getEntry(const TimingMap& map, unsigned long key) {
  const auto found = map.find(key);
  return found == map.end() ? Timing() : found->second;
}

}  // namespace Morva::TimingMaps
