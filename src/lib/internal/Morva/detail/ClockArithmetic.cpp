#include <Morva/detail/ClockArithmetic.h>

#include <cmath>
#include <numeric>

namespace Morva::ClockArithmetic {

int32_t truncate(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

Delay getWrappedDifference(const Delay& a, const Delay& b) {
  return Delay(static_cast<int32_t>(static_cast<uint32_t>(static_cast<int>(a)) -
                                    static_cast<uint32_t>(static_cast<int>(b))));
}

Delay getScaled(const Delay& arrival, double factor) {
  if (arrival == Delay::getUndefined()) return arrival;
  const double scaled = std::trunc(static_cast<double>(static_cast<int>(arrival)) * factor);
  if (scaled >= static_cast<double>(static_cast<int>(Delay::getMaximum())))
    return Delay::getMaximum();
  if (scaled <= static_cast<double>(static_cast<int>(Delay::getMinimum())))
    return Delay::getMinimum();
  return Delay(static_cast<int>(scaled));
}

Delay getPart(const Delay& period, unsigned long percent) {
  const auto length = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int>(period)));
  return Delay(static_cast<int32_t>(static_cast<uint32_t>(length * percent / 100)));
}

namespace {

// Watches the remainders of a subtractive Euclid against the distance
// between the launch and the latch edge. The remainders of one run (one
// value subtracted repeatedly from the other) form an arithmetic
// progression, so each run is inspected at once rather than remainder by
// remainder: the outcome is the same as visiting every remainder, since the
// best remainder is a minimum (latch edge earlier) or a maximum (latch edge
// later) over the remainders visited, whatever their order.
struct RemainderWatch {
  bool earlier;
  int64_t distance;
  int64_t best;
  bool found;

  // The run that visits high, high - step, ..., low (low = high - k step).
  void visit(int64_t high, int64_t step, int64_t low) {
    if (distance == 0) return;
    if (low <= distance && distance <= high && (distance - low) % step == 0) found = true;
    if (earlier) {
      // The smallest remainder above the distance.
      if (distance >= high) return;
      const int64_t above = distance < low ? low : low + ((distance - low) / step + 1) * step;
      if (above < best) best = above;
    } else {
      // The largest remainder below the distance.
      if (distance <= low) return;
      const int64_t below = distance > high ? high : low + ((distance - low - 1) / step) * step;
      if (best < below) best = below;
    }
  }
};

}  // namespace

bool getRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod, const Delay& latchPeriod,
                     const Delay& launchEdge, const Delay& latchEdge) {
  // Periods of 0 or below never meet in a common divisor.
  if (static_cast<int>(launchPeriod) <= 0 || static_cast<int>(latchPeriod) <= 0) {
    setup = Delay::getUndefined();
    hold = Delay::getUndefined();
    return false;
  }
  const bool earlier = latchEdge < launchEdge;
  const Delay distance = earlier ? launchEdge - latchEdge : latchEdge - launchEdge;
  RemainderWatch watch{earlier, static_cast<int>(distance),
                       earlier ? static_cast<int>(Delay::getMaximum()) : 0, distance == Delay(0)};
  int64_t x = static_cast<int>(launchPeriod);
  int64_t y = static_cast<int>(latchPeriod);
  while (x != y) {
    // Subtracting the smaller value while it stays below the larger one
    // leaves the larger one in (0, smaller].
    if (y < x) {
      const int64_t next = x - ((x - 1) / y) * y;
      watch.visit(x - y, y, next);
      x = next;
    } else {
      const int64_t next = y - ((y - 1) / x) * x;
      watch.visit(y - x, x, next);
      y = next;
    }
  }
  const Delay divisor(static_cast<int>(x));
  if (watch.found)
    setup = divisor;
  else if (earlier)
    setup = Delay(static_cast<int>(watch.best)) - distance;
  else
    setup = distance - Delay(static_cast<int>(watch.best));
  hold = setup - divisor;
  return true;
}

bool getClosestRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                            const Delay& latchPeriod, const Delay& launchEdge,
                            const Delay& latchEdge) {
  setup = Delay::getUndefined();
  hold = Delay::getUndefined();
  if (launchPeriod == Delay::getUndefined() || latchPeriod == Delay::getUndefined() ||
      launchEdge == Delay::getUndefined() || latchEdge == Delay::getUndefined() ||
      launchPeriod.getValue() <= 0 || latchPeriod.getValue() <= 0)
    return false;
  const int64_t common = std::gcd(static_cast<int64_t>(launchPeriod.getValue()),
                                  static_cast<int64_t>(latchPeriod.getValue()));
  const int64_t distance =
      static_cast<int64_t>(latchEdge.getValue()) - static_cast<int64_t>(launchEdge.getValue());
  int64_t closest = distance % common;
  if (closest <= 0) closest += common;
  setup = Delay(static_cast<int32_t>(closest));
  hold = Delay(static_cast<int32_t>(closest - common));
  return true;
}

unsigned long getPhase(unsigned long duty, Mode::Code launch, Mode::Code latch) {
  if (launch == Mode::Rising && latch == Mode::Falling) return duty;
  if (launch == Mode::Falling && latch == Mode::Rising) return 100 - duty;
  return 0;
}

double getPhaseFactor(unsigned long duty, Mode::Code launch, Mode::Code latch) {
  const bool opposite = (launch == Mode::Rising && latch == Mode::Falling) ||
                        (launch == Mode::Falling && latch == Mode::Rising);
  if (!opposite) return 1.0;
  const unsigned long phase = getPhase(duty, launch, latch);
  return phase == 0 ? 0.0 : static_cast<double>(100 / phase);
}

double getHalfCycles(double cycles, double duty, bool risingLaunch) {
  return (cycles - 1.0) * 100.0 / (risingLaunch ? duty : 100.0 - duty) + 1.0;
}

}  // namespace Morva::ClockArithmetic
