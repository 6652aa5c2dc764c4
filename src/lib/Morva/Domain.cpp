#include <Morva/Analyzer.h>
#include <Morva/Domain.h>
#include <Morva/Scanner.h>
#include <Morva/detail/ClockArithmetic.h>
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

using ClockArithmetic::getPart;
using ClockArithmetic::getScaled;
using ClockArithmetic::getWrappedDifference;

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
    const double factor = ClockArithmetic::getPhaseFactor(duty, launch, latch);
    if (factor != 0.0) return factor;
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
  return ClockArithmetic::getRelationship(setup, hold, launchPeriod, latchPeriod, launchEdge,
                                          latchEdge);
}

bool Domain::calculateClosestRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                                          const Delay& latchPeriod, const Delay& launchEdge,
                                          const Delay& latchEdge) {
  return ClockArithmetic::getClosestRelationship(setup, hold, launchPeriod, latchPeriod, launchEdge,
                                                 latchEdge);
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

namespace {

// What a step analyzes, as the step warnings name it.
const char* getStepName(unsigned long step) {
  static const char* const names[] = {"", "Clock", "Arrival time", "Required time"};
  return step < 4 ? names[step] : "";
}

}  // namespace

bool Domain::isAtStep(Step wanted, bool namesWanted) const {
  const auto at = static_cast<unsigned long>(_step);
  const auto target = static_cast<unsigned long>(wanted);
  if (at == target) return true;
  const std::string text =
      at < target
          ? std::string(getStepName(namesWanted ? target : at + 1)) + " is not yet analyzed for "
          : std::string(getStepName(target + 1)) + " is already analyzed for ";
  Orvek::console.warning(text + getAlias(), "");
  return false;
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
  if (_step < Step::Required)
    _step = static_cast<Step>(static_cast<unsigned long>(_step) + 1);
  else
    Orvek::console.warning("Unknown analysis step!", "");
}

void Domain::clockAnalyze() {
  if (!isAtStep(Step::Created)) return;
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
  if (!isAtStep(Step::Clocked)) return;
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
  if (!isAtStep(Step::Arrived)) return;
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

}  // namespace

void Domain::searchLongestRoutes(Delay margin, Delay limit, unsigned long count) {
  if (!isAtStep(Step::Required, true)) return;
  if (!isSearched(margin, limit)) return;
  for (Subdomain* subdomain : _subdomains) {
    lowerLimit(limit, margin,
               getWrappedDifference(subdomain->getSetupRelation(), subdomain->getLAT()));
    if (Scanner* scanner = subdomain->getScanner()) scanner->searchLongestRoutes(limit, count);
  }
}

void Domain::searchShortestRoutes(Delay margin, Delay limit, unsigned long count) {
  if (!isAtStep(Step::Required, true)) return;
  if (!isSearched(margin, limit)) return;
  for (Subdomain* subdomain : _subdomains) {
    lowerLimit(limit, margin,
               getWrappedDifference(subdomain->getSAT(), subdomain->getHoldRelation()));
    if (Scanner* scanner = subdomain->getScanner()) scanner->searchShortestRoutes(limit, count);
  }
}

void Domain::searchRoutes(Delay margin, Delay limit, unsigned long count) {
  if (!isAtStep(Step::Required, true)) return;
  searchLongestRoutes(margin, limit, count);
  searchShortestRoutes(margin, limit, count);
}

void Domain::tagSlacks() {
  if (!isAtStep(Step::Required, true)) return;
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
