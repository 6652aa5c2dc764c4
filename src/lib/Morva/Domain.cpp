#include <Morva/Analyzer.h>
#include <Morva/Domain.h>
#include <Morva/Scanner.h>
#include <Morva/detail/GraphImage.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <cmath>
#include <cstdint>
#include <numeric>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Domain";

void addObject(Orvek::Record* record, const std::string& name, const Object* object) {
  if (object)
    record->addSlot(object->_getSlot(name));
  else
    record->addSlot(Orvek::NullSlot::create(name));
}

// The arrival time of a subdomain scaled to a full period: truncated toward
// zero, held to the range of delays (an Undefined arrival stays Undefined).
Delay getScaled(const Delay& arrival, double factor) {
  if (arrival == Delay::getUndefined()) return arrival;
  const double scaled = std::trunc(static_cast<double>(static_cast<int>(arrival)) * factor);
  if (scaled >= static_cast<double>(static_cast<int>(Delay::getMaximum())))
    return Delay::getMaximum();
  if (scaled <= static_cast<double>(static_cast<int>(Delay::getMinimum())))
    return Delay::getMinimum();
  return Delay(static_cast<int>(scaled));
}

// `percent` percent of `period`, in unsigned 64-bit arithmetic truncated to
// 32 bits.
Delay getPart(const Delay& period, unsigned long percent) {
  const auto length = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int>(period)));
  return Delay(static_cast<int32_t>(static_cast<uint32_t>(length * percent / 100)));
}

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

// ---- Creation and identity -------------------------------------------------

Domain::Domain(Pole* launchRoot, Pole* latchRoot)
    : _latchRoot(latchRoot), _launchRoot(launchRoot) {}

void Domain::preCreate(Pole* launchRoot, Pole* latchRoot) {
  Object::preCreate();
  if (!analyzer) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null analyzer");
  if (analyzer->getDomain(getName(launchRoot, latchRoot)))
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Already exists");
}

Domain* Domain::create(Pole* launchRoot, Pole* latchRoot) {
  preCreate(launchRoot, latchRoot);
  auto* domain = new Domain(launchRoot, latchRoot);
  domain->postCreate(launchRoot, latchRoot);
  return domain;
}

void Domain::postCreate(Pole*, Pole*) {
  analyzer->attach(this);
  Object::postCreate();
}

void Domain::preDestroy() {
  Object::preDestroy();
  closeScanners();
  // The subdomains' detach requests are ignored from now on.
  SubdomainSet subdomains;
  subdomains.swap(_subdomains);
  for (Subdomain* subdomain : subdomains) subdomain->destroy();
  if (analyzer) analyzer->detach(this);
}

std::string Domain::getName(Pole* launchRoot, Pole* latchRoot) {
  return (launchRoot ? launchRoot->getReportName() : std::string("Input")) + " to " +
         (latchRoot ? latchRoot->getReportName() : std::string("Output"));
}

std::string Domain::_getLabel() const {
  Orvek::Label label(Object::_getLabel());
  label.update(_asynchronous ? "async" : "sync");
  return label.getText();
}

Orvek::Record* Domain::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Domain");
  record->add("Name", getName());
  addObject(record, "Analyzer", analyzer);
  addObject(record, "LatchRoot", _latchRoot);
  addObject(record, "LaunchRoot", _launchRoot);
  record->add("Mask", getMask());
  record->add("Subdomains", getSubdomains());
  if (isPureClock()) record->add("PureClock", true);
  return record;
}

// ---- Subdomains ------------------------------------------------------------

Subdomain* Domain::getSubdomain(const Mode& launchMode, const Mode& latchMode) const {
  for (Subdomain* subdomain : _subdomains)
    if (subdomain->getLaunchMode().getCode() == launchMode.getCode() &&
        subdomain->getLatchMode().getCode() == latchMode.getCode())
      return subdomain;
  return nullptr;
}

void Domain::attach(Subdomain* subdomain) {
  _subdomains.insert(subdomain);
}

void Domain::detach(Subdomain* subdomain) {
  if (!isDestroying()) _subdomains.erase(subdomain);
}

void Domain::colourizeEdges() {
  for (Subdomain* subdomain : _subdomains) subdomain->colourizeEdges();
}

// ---- Clock relationships ---------------------------------------------------

double Domain::getPeriodFactor(const Subdomain* subdomain, unsigned long duty) const {
  const Mode::Code launch = subdomain->getLaunchMode().getCode();
  const Mode::Code latch = subdomain->getLatchMode().getCode();
  const bool risingToFalling = launch == Mode::Rising && latch == Mode::Falling;
  if (!risingToFalling && !(launch == Mode::Falling && latch == Mode::Rising)) return 1.0;
  if (analyzer->isSdc()) {
    // The exact share of the period, from the wave's own widths.
    const Delay period = analyzer->getRequiredPeriod(_launchRoot);
    const Delay part =
        risingToFalling ? analyzer->getHighWidth(_launchRoot) : analyzer->getLowWidth(_launchRoot);
    if (period == Delay::getUndefined() || part == Delay::getUndefined()) return 1.0;
    if (part.getValue() > 0)
      return static_cast<double>(period.getValue()) / static_cast<double>(part.getValue());
  } else {
    // Integer quotients: duty 30 gives 3, 60 gives 1.
    const unsigned long divisor = risingToFalling ? duty : 100 - duty;
    if (divisor != 0) return static_cast<double>(100 / divisor);
  }
  Orvek::console.warning("Unusable duty ratio " + Orvek::getLabel(duty) + "% for " +
                             subdomain->getAlias() + ", its arrival time is taken unscaled",
                         "");
  return 1.0;
}

Delay Domain::calculatePeriod() {
  if (!isPureClock()) return Delay::getUndefined();
  const unsigned long duty = analyzer->getDutyRatio(_launchRoot);
  Delay period = Delay::getMinimum();
  Subdomain* decisive = nullptr;
  for (Subdomain* subdomain : _subdomains) {
    const double factor = getPeriodFactor(subdomain, duty);
    const Delay candidate = getScaled(subdomain->getLAT(), factor);
    if (period < candidate) {
      period = candidate;
      decisive = subdomain;
    }
  }
  if (period == Delay::getUndefined() || period == Delay::getMinimum()) {
    // Under SDC conventions a clock whose every path false paths cut has
    // no period to require, which is no error.
    if (analyzer->isSdc()) return Delay::getUndefined();
    Orvek::console.error("Abnormal period: " + period._getLabel(), "");
    Orvek::raise<Orvek::Fatal>(kSource, "calculatePeriod", "Abnormal period");
  }
  decisive->setDecisive(true);
  for (Subdomain* subdomain : _subdomains) {
    const Mode::Code launch = subdomain->getLaunchMode().getCode();
    const Mode::Code latch = subdomain->getLatchMode().getCode();
    if (launch == latch) {
      subdomain->setSetupRelation(period);
      continue;
    }
    const Delay high = getPart(period, duty);
    const Delay low = getPart(period, 100 - duty);
    if (launch == Mode::Rising && latch == Mode::Falling) {
      subdomain->setSetupRelation(high);
      subdomain->setHoldRelation(-low);
    } else if (launch == Mode::Falling && latch == Mode::Rising) {
      subdomain->setSetupRelation(low);
      subdomain->setHoldRelation(-high);
    }
  }
  return period;
}

bool Domain::calculateRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                                   const Delay& latchPeriod, const Delay& launchEdge,
                                   const Delay& latchEdge) {
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

bool Domain::calculateClosestRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
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

bool Domain::getWaveRelationship(const Subdomain* subdomain, Conventions conventions, Delay& setup,
                                 Delay& hold) const {
  if (!_launchRoot || !_latchRoot) return false;
  const Delay launchPeriod = analyzer->getRequiredPeriod(_launchRoot);
  const Delay latchPeriod = analyzer->getRequiredPeriod(_latchRoot);
  if (launchPeriod == Delay::getUndefined() || latchPeriod == Delay::getUndefined()) return false;
  Delay launchEdge = analyzer->getClockShift(_launchRoot);
  if (subdomain->getLaunchMode().getCode() == Mode::Falling)
    launchEdge += analyzer->getHighWidth(_launchRoot);
  Delay latchEdge = analyzer->getClockShift(_latchRoot);
  if (subdomain->getLatchMode().getCode() == Mode::Falling)
    latchEdge += analyzer->getHighWidth(_latchRoot);
  if (conventions == Conventions::Sdc)
    return calculateClosestRelationship(setup, hold, launchPeriod, latchPeriod, launchEdge,
                                        latchEdge);
  return calculateRelationship(setup, hold, launchPeriod, latchPeriod, launchEdge, latchEdge);
}

void Domain::updateRelationship() {
  if (_asynchronous) return;
  bool warned = false;
  for (Subdomain* subdomain : _subdomains) {
    const Mode::Code launch = subdomain->getLaunchMode().getCode();
    const Mode::Code latch = subdomain->getLatchMode().getCode();
    if (isPureClock()) {
      const Delay period = analyzer->getRequiredPeriod(_launchRoot);
      if (period == Delay::getUndefined()) continue;
      const Delay high = analyzer->getHighWidth(_launchRoot);
      const Delay low = analyzer->getLowWidth(_launchRoot);
      if (launch == Mode::None || latch == Mode::None) continue;
      if (launch == latch) {
        subdomain->setSetupRelation(period);
      } else if (launch == Mode::Rising) {
        subdomain->setSetupRelation(high);
        subdomain->setHoldRelation(-low);
      } else {
        subdomain->setSetupRelation(low);
        subdomain->setHoldRelation(-high);
      }
      continue;
    }
    // A missing root has no period: the subdomain keeps its relations.
    const Delay launchPeriod =
        _launchRoot ? analyzer->getRequiredPeriod(_launchRoot) : Delay::getUndefined();
    const Delay latchPeriod =
        _latchRoot ? analyzer->getRequiredPeriod(_latchRoot) : Delay::getUndefined();
    if (launchPeriod == Delay::getUndefined() || latchPeriod == Delay::getUndefined()) continue;
    Delay setup;
    Delay hold;
    if (!getWaveRelationship(subdomain, analyzer->getConventions(), setup, hold)) {
      if (!warned) Orvek::console.warning("Unusable clock period for " + getAlias(), "");
      warned = true;
      continue;
    }
    subdomain->setSetupRelation(setup);
    subdomain->setHoldRelation(hold);
  }
}

bool Domain::isSearched(const Delay& margin, const Delay& limit) const {
  return isTimed() || (limit == Delay::getMaximum() &&
                       (margin == Delay::getMaximum() || margin == Delay::getUndefined()));
}

bool Domain::isTimed() const {
  if (!analyzer || !analyzer->isSdc()) return true;
  if (_asynchronous || !_launchRoot || !_latchRoot) return false;
  const Delay launchPeriod = analyzer->getRequiredPeriod(_launchRoot);
  const Delay latchPeriod = analyzer->getRequiredPeriod(_latchRoot);
  return launchPeriod != Delay::getUndefined() && latchPeriod != Delay::getUndefined() &&
         launchPeriod.getValue() > 0 && latchPeriod.getValue() > 0;
}

// ---- Analysis steps --------------------------------------------------------

void Domain::warnStep(const std::string& text) const {
  Orvek::console.warning(text + getAlias(), "");
}

void Domain::analyze(bool tagging, bool longest, bool shortest, unsigned long count, Delay margin,
                     Delay limit) {
  openScanners();
  clockAnalyze();
  arrivalAnalyze();
  requireAnalyze();
  if (longest) searchLongestRoutes(margin, limit, count);
  if (shortest) searchShortestRoutes(margin, limit, count);
  if (tagging) tagSlacks();
  closeScanners();
}

void Domain::openScanners() {
  for (Subdomain* subdomain : _subdomains) subdomain->openScanner();
}

void Domain::closeScanners() {
  for (Subdomain* subdomain : _subdomains) subdomain->closeScanner();
}

void Domain::mature() {
  if (_step < 3)
    ++_step;
  else
    Orvek::console.warning("Unknown analysis step!", "");
}

void Domain::clockAnalyze() {
  if (_step != 0) {
    warnStep("Clock is already analyzed for ");
    return;
  }
  for (Subdomain* subdomain : _subdomains)
    if (!subdomain->getScanner()) subdomain->openScanner();
  for (Subdomain* subdomain : _subdomains)
    if (Scanner* scanner = subdomain->getScanner()) scanner->clockAnalyze();
  // The walks of the clock passes are done; without loops the data passes
  // sweep instead.
  GraphImage::releaseScratch();
  mature();
}

void Domain::arrivalAnalyze() {
  if (_step == 0) {
    warnStep("Clock is not yet analyzed for ");
    return;
  }
  if (_step != 1) {
    warnStep("Arrival time is already analyzed for ");
    return;
  }
  for (Subdomain* subdomain : _subdomains) {
    if (Scanner* scanner = subdomain->getScanner()) scanner->arrivalAnalyze();
    subdomain->setSetupRelation(subdomain->getLAT());
    subdomain->setHoldRelation(Delay(0));
  }
  if (isPureClock()) analyzer->setPeriod(_launchRoot, calculatePeriod());
  updateRelationship();
  mature();
}

void Domain::requireAnalyze() {
  if (_step == 0) {
    warnStep("Clock is not yet analyzed for ");
    return;
  }
  if (_step == 1) {
    warnStep("Arrival time is not yet analyzed for ");
    return;
  }
  if (_step == 3) {
    warnStep("Required time is already analyzed for ");
    return;
  }
  for (Subdomain* subdomain : _subdomains)
    if (Scanner* scanner = subdomain->getScanner()) scanner->requireAnalyze();
  // The domain's last pass: its routes and reports need no scratch.
  GraphImage::releaseScratch();
  mature();
}

namespace {

// Lowers the search limit to the subdomain's worst slack plus the margin
// (no lowering for a margin that is Undefined or Maximum).
void lowerLimit(Delay& limit, const Delay& margin, const Delay& worst) {
  if (margin == Delay::getUndefined() || margin == Delay::getMaximum()) return;
  const Delay lowered = worst + margin;
  if (lowered != Delay::getUndefined() && (limit == Delay::getUndefined() || lowered < limit))
    limit = lowered;
}

// Plain 32-bit subtraction of two encodings, wrapping like the machine.
Delay getWrappedDifference(const Delay& a, const Delay& b) {
  return Delay(static_cast<int32_t>(static_cast<uint32_t>(static_cast<int>(a)) -
                                    static_cast<uint32_t>(static_cast<int>(b))));
}

}  // namespace

void Domain::searchLongestRoutes(Delay margin, Delay limit, unsigned long count) {
  if (_step != 3) {
    warnStep("Required time is not yet analyzed for ");
    return;
  }
  if (!isSearched(margin, limit)) return;
  for (Subdomain* subdomain : _subdomains) {
    lowerLimit(limit, margin,
               getWrappedDifference(subdomain->getSetupRelation(), subdomain->getLAT()));
    if (Scanner* scanner = subdomain->getScanner()) scanner->searchLongestRoutes(limit, count);
  }
}

void Domain::searchShortestRoutes(Delay margin, Delay limit, unsigned long count) {
  if (_step != 3) {
    warnStep("Required time is not yet analyzed for ");
    return;
  }
  if (!isSearched(margin, limit)) return;
  for (Subdomain* subdomain : _subdomains) {
    lowerLimit(limit, margin,
               getWrappedDifference(subdomain->getSAT(), subdomain->getHoldRelation()));
    if (Scanner* scanner = subdomain->getScanner()) scanner->searchShortestRoutes(limit, count);
  }
}

void Domain::searchRoutes(Delay margin, Delay limit, unsigned long count) {
  if (_step != 3) {
    warnStep("Required time is not yet analyzed for ");
    return;
  }
  searchLongestRoutes(margin, limit, count);
  searchShortestRoutes(margin, limit, count);
}

void Domain::tagSlacks() {
  if (_step != 3) {
    warnStep("Required time is not yet analyzed for ");
    return;
  }
  for (Subdomain* subdomain : _subdomains)
    if (Scanner* scanner = subdomain->getScanner()) scanner->tagSlacks();
}

void Domain::reportLongestRoutes(bool compact) {
  for (Subdomain* subdomain : _subdomains) subdomain->reportLongestRoutes(compact);
}

void Domain::reportShortestRoutes(bool compact) {
  for (Subdomain* subdomain : _subdomains) subdomain->reportShortestRoutes(compact);
}

void Domain::reset() {
  closeScanners();
  for (Subdomain* subdomain : _subdomains) subdomain->reset();
}

}  // namespace Morva
