#include <Morva/Analyzer.h>
#include <Morva/Delay.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/ClockArithmetic.h>
#include <Morva/detail/Precedence.h>
#include <Morva/detail/TimingMaps.h>
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>

#include <limits>

namespace Morva {

namespace {

// Its failures are those of the scanner's operation that applies it.
constexpr const char* kSource = "lib/Morva/Scanner";

using ClockArithmetic::truncate;

}  // namespace

Precedence::Precedence(const Analyzer& analyzer, const Subdomain* subdomain)
    : _analyzer(analyzer),
      _subdomain(subdomain),
      _maxdelay(analyzer.getMaxdelayPathMask()),
      _mindelay(analyzer.getMindelayPathMask()),
      _multicycle(analyzer.getMulticyclePathMask()) {}

Precedence::Cycles Precedence::getCycles(const Mask& mask) const {
  Cycles cycles;
  for (CPath* path : _analyzer.getCPaths(mask)) {
    MPath* multicycle = asMulticyclePath(path);
    if (!multicycle) continue;
    if (!cycles.first) cycles.first = multicycle;
    // The smallest cycle count, through the Delay comparison of the count
    // and the current value.
    const Delay count(static_cast<int32_t>(multicycle->getCycleCount()));
    const Delay current(truncate(cycles.count));
    Delay chosen;
    if (current == Delay::getUndefined())
      chosen = count;
    else if (count == Delay::getUndefined())
      chosen = current;
    else
      chosen = current < count ? current : count;
    cycles.count = static_cast<double>(chosen.getValue());
  }
  return cycles;
}

Mask Precedence::getPriorityMask(const Mask& mask, bool longest) const {
  const Mask maxdelay = mask & _maxdelay;
  const Mask mindelay = mask & _mindelay;
  const Mask multicycle = mask & _multicycle;
  Mask result;
  if (longest) {
    if (maxdelay.getNumber() != 0) {
      Delay best = Delay::getMaximum();
      for (CPath* path : _analyzer.getCPaths(maxdelay)) {
        DPath* delayPath = asDelayPath(path);
        if (!delayPath) continue;
        const Delay limit = delayPath->getMaxdelay();
        if (limit < best) {
          best = limit;
          result = delayPath->getMask();
        }
      }
      return result;
    }
    if (multicycle.getNumber() != 0) {
      unsigned long best = std::numeric_limits<unsigned long>::max();
      for (CPath* path : _analyzer.getCPaths(multicycle)) {
        MPath* multicyclePath = asMulticyclePath(path);
        if (!multicyclePath) continue;
        if (multicyclePath->getCycleCount() < best) {
          best = multicyclePath->getCycleCount();
          result = multicyclePath->getMask();
        }
      }
      return result;
    }
    if (mindelay.getNumber() != 0) {
      for (CPath* path : _analyzer.getCPaths(mindelay))
        if (DPath* delayPath = asDelayPath(path)) return delayPath->getMask();
    }
    return result;
  }
  if (mindelay.getNumber() != 0) {
    Delay best = Delay::getMinimum();
    for (CPath* path : _analyzer.getCPaths(mindelay)) {
      DPath* delayPath = asDelayPath(path);
      if (!delayPath) continue;
      const Delay limit = delayPath->getMindelay();
      if (limit.getValue() > best.getValue()) {
        best = limit;
        result = delayPath->getMask();
      }
    }
    return result;
  }
  if (maxdelay.getNumber() != 0) {
    for (CPath* path : _analyzer.getCPaths(maxdelay))
      if (DPath* delayPath = asDelayPath(path)) return delayPath->getMask();
    return result;
  }
  if (multicycle.getNumber() != 0) {
    for (CPath* path : _analyzer.getCPaths(multicycle))
      if (MPath* multicyclePath = asMulticyclePath(path)) return multicyclePath->getMask();
  }
  return result;
}

// ---- Cycle corrections of one subdomain ----------------------------------------

void Precedence::divideCycleCount(TimingMap& map) const {
  TimingMaps::filter(_maxdelay, _mindelay, map);
  constexpr double noCycles = Precedence::Cycles().count;
  for (auto& [key, timing] : map) {
    if (key == 0) continue;
    const Precedence::Cycles found = getCycles(Mask(key));
    MPath* first = found.first;
    double cycles = found.count;
    if (!first) continue;
    if (_analyzer.isSdc()) {
      // The capture edge of the multicycle class lies whole latch periods
      // later: its arrivals count that much less against one period. A
      // code (the maximum of a delay path's class, set aside above) stays.
      const Delay maximum = timing.getMaximumDelay();
      if (maximum != Delay::getMinimum() && maximum != Delay::getMaximum() &&
          maximum != Delay::getUndefined())
        timing.setMaximumDelay(maximum - getCycleExtension(static_cast<unsigned long>(cycles)));
      continue;
    }
    Pole* launchRoot = _subdomain->getLaunchRoot();
    if (launchRoot && launchRoot == _subdomain->getLatchRoot()) {
      const auto duty = static_cast<double>(_analyzer.getDutyRatio(launchRoot));
      if (_subdomain->getLaunchMode().getCode() != _subdomain->getLatchMode().getCode()) {
        cycles = ClockArithmetic::getHalfCycles(
            cycles, duty, _subdomain->getLaunchMode().getCode() == Mode::Rising);
      }
      if (cycles != noCycles && cycles > 1.0) {
        const double maximum = static_cast<double>(timing.getMaximumDelay().getValue());
        timing.setMaximumDelay(Delay(truncate(maximum / cycles)));
        continue;
      }
    }
    if (_subdomain->isPureClock())
      Orvek::raise<Orvek::InvalidRequest>(kSource, "divideCycleCount", "Abnormal multicycle Path");
    if (Orvek::isDebug())
      Orvek::console.warning(first->getAlias() + " is not available for " + _subdomain->getAlias(),
                             "");
  }
}

double Precedence::getCycleFactor() const {
  Pole* launchRoot = _subdomain->getLaunchRoot();
  if (!launchRoot || launchRoot != _subdomain->getLatchRoot()) return 1.0;
  const double factor = ClockArithmetic::getPhaseFactor(_analyzer.getDutyRatio(launchRoot),
                                                        _subdomain->getLaunchMode().getCode(),
                                                        _subdomain->getLatchMode().getCode());
  // A clock without a high (or low) phase has no half-period correction.
  return factor == 0.0 ? 1.0 : factor;
}

Delay Precedence::getCycleExtension(unsigned long cycles) const {
  Pole* latchRoot = _subdomain->getLatchRoot();
  if (!latchRoot || cycles < 2) return Delay(0);
  const Delay period = _analyzer.getRequiredPeriod(latchRoot);
  if (period == Delay::getUndefined()) return Delay(0);
  const int64_t extension = static_cast<int64_t>(cycles - 1) * period.getValue();
  return Delay(truncate(static_cast<double>(extension)));
}

}  // namespace Morva
