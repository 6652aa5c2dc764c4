#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>
#include <Orvek/Text.h>

#include <algorithm>
#include <iterator>
#include <unordered_set>
#include <vector>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Subdomain";

void addObject(Orvek::Record* record, const std::string& name, const Object* object) {
  if (object)
    record->addSlot(object->_getSlot(name));
  else
    record->addSlot(Orvek::NullSlot::create(name));
}

// One side of a subdomain name: the missing root's word, or the root's
// report name and the Mode; the Mode must be None exactly when the root is
// missing.
std::string getSide(const Pole* root, const Mode& mode, const char* missing) {
  if (!root) {
    if (mode.getCode() != Mode::None)
      Orvek::raise<Orvek::InvalidRequest>(kSource, "getName", "Rejected clock mode");
    return missing;
  }
  if (mode.getCode() == Mode::None)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "getName", "Rejected clock mode");
  return root->getReportName() + ":" + mode.getName();
}

}  // namespace

bool Subdomain::RouteSetLess::operator()(const Route* a, const Route* b) const {
  const Delay slackA = a->getSlack();
  const Delay slackB = b->getSlack();
  if (slackA < slackB) return true;
  if (slackB < slackA) return false;
  return StampLess()(a, b);
}

// ---- Creation and identity -------------------------------------------------

Subdomain::Subdomain(Domain* domain, const Mode& launchMode, const Mode& latchMode)
    : _domain(domain),
      _latchMode(latchMode),
      _launchMode(launchMode),
      _longestArrivalTime(static_cast<int>(Delay::getUndefined())),
      _shortestArrivalTime(static_cast<int>(Delay::getUndefined())),
      _setupRelation(static_cast<int>(Delay::getUndefined())) {}

void Subdomain::preCreate(Domain* domain, const Mode& launchMode, const Mode& latchMode) {
  Object::preCreate();
  if (!analyzer) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null analyzer");
  if (!domain) Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Null domain");
  if (domain->getSubdomain(launchMode, latchMode))
    Orvek::raise<Orvek::FactoryFailed>(kSource, "preCreate", "Already exists");
}

Subdomain* Subdomain::create(Domain* domain, const Mode& launchMode, const Mode& latchMode) {
  preCreate(domain, launchMode, latchMode);
  auto* subdomain = new Subdomain(domain, launchMode, latchMode);
  subdomain->postCreate(domain, launchMode, latchMode);
  return subdomain;
}

void Subdomain::postCreate(Domain* domain, const Mode&, const Mode&) {
  domain->attach(this);
  setDecisive(false);
  resetMPathCritical();
  Object::postCreate();
}

void Subdomain::preDestroy() {
  Object::preDestroy();
  closeScanner();
  destroyRoutes();
  _domain->detach(this);
}

std::string Subdomain::getName(Domain* domain, const Mode& launchMode, const Mode& latchMode) {
  if (!domain) Orvek::raise<Orvek::InvalidRequest>(kSource, "getName", "Null domain");
  return getSide(domain->getLaunchRoot(), launchMode, "Input") + " to " +
         getSide(domain->getLatchRoot(), latchMode, "Output");
}

std::string Subdomain::getName() const {
  return getName(_domain, _launchMode, _latchMode);
}

std::string Subdomain::getSourceName() const {
  const Pole* root = getLaunchRoot();
  return root ? root->getReportName() + " (" + _launchMode.getName() + ")" : "Input";
}

std::string Subdomain::getTargetName() const {
  const Pole* root = getLatchRoot();
  return root ? root->getReportName() + " (" + _latchMode.getName() + ")" : "Output";
}

std::string Subdomain::getAlias() const {
  return "SUBDOMAIN[" + getName() + "]";
}

std::string Subdomain::_getLabel() const {
  Orvek::Label label(Object::_getLabel());
  if (isDecisive()) label.update("Decisive");
  return label.getText();
}

Orvek::Record* Subdomain::_getRecord() const {
  auto* record = Object::_getRecord();
  record->addHeader("Subdomain");
  record->add("Name", getName());
  addObject(record, "Analyzer", analyzer);
  addObject(record, "Domain", _domain);
  addObject(record, "Scanner", _scanner);
  addObject(record, "LatchRoot", getLatchRoot());
  addObject(record, "LaunchRoot", getLaunchRoot());
  record->add("LatchClockMode", _latchMode);
  record->add("LaunchClockMode", _launchMode);
  record->add("LatchLeaves", getLatchLeaves());
  record->add("LaunchLeaves", getLaunchLeaves());
  record->add("LongestArrivalTime", getLAT());
  record->add("Setup relationship", getSetupRelation());
  record->add("ShortestArrivalTime", getSAT());
  record->add("Hold relationship", getHoldRelation());
  record->add("LongestRoutes", getLongestRoutes());
  record->add("ShortestRoutes", getShortestRoutes());
  record->add("PureClock", isPureClock());
  record->add("Decisive", isDecisive());
  return record;
}

// ---- Accessors -------------------------------------------------------------

Pole* Subdomain::getLaunchRoot() const {
  return _domain->getLaunchRoot();
}

Pole* Subdomain::getLatchRoot() const {
  return _domain->getLatchRoot();
}

bool Subdomain::isPureClock() const {
  return _domain->isPureClock();
}

DomainMask Subdomain::getMask() const {
  return _domain->getMask();
}

// A leaf enters its set and the array; the array stays ordered while the
// leaves come in the set's order, as the data scan mostly captures them.
void Subdomain::capture(PoleSet& leaves, LeafList& list, Pole* pole) {
  const auto [place, inserted] = leaves.insert(pole);
  if (!inserted) return;
  list.ordered = list.ordered && std::next(place) == leaves.end();
  list.poles.push_back(pole);
}

void Subdomain::captureLaunch(Pole* pole) {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "captureLaunch", "Null leaf");
  capture(_launchLeaves, _launchLeafList, pole);
}

void Subdomain::captureLatch(Pole* pole) {
  if (!pole) Orvek::raise<Orvek::InvalidRequest>(kSource, "captureLatch", "Null leaf");
  capture(_latchLeaves, _latchLeafList, pole);
}

const std::vector<Pole*>& Subdomain::getList(LeafList& list) {
  if (list.ordered) return list.poles;
  std::vector<Pole*> sorted;
  sorted.reserve(list.poles.size());
  for (const uint32_t position : getStampOrder(
           list.poles.size(), [&list](uint32_t position) { return list.poles[position]; }))
    sorted.push_back(list.poles[position]);
  list.poles.swap(sorted);
  list.ordered = true;
  return list.poles;
}

const std::vector<Pole*>& Subdomain::getLaunchLeafList() const {
  return getList(_launchLeafList);
}

const std::vector<Pole*>& Subdomain::getLatchLeafList() const {
  return getList(_latchLeafList);
}

// ---- Scanner and routes ----------------------------------------------------

void Subdomain::attach(Scanner* scanner) {
  _scanner = scanner;
}

void Subdomain::detach(Scanner* scanner) {
  if (!isDestroying() && _scanner == scanner) _scanner = nullptr;
}

void Subdomain::attach(Route* route) {
  (route->isLongest() ? _longestRoutes : _shortestRoutes).insert(route);
}

// A route is found by its address, not through the slack order: the order
// holds only while the relations stay as they were when the route was
// filed. The search discards the least critical route, so the walk starts
// from the end.
void Subdomain::detach(Route* route) {
  if (isDestroying()) return;
  RouteSet& routes = route->isLongest() ? _longestRoutes : _shortestRoutes;
  for (auto place = routes.end(); place != routes.begin();) {
    --place;
    if (*place == route) {
      routes.erase(place);
      return;
    }
  }
}

Scanner* Subdomain::openScanner() {
  closeScanner();
  return Scanner::create(this);
}

void Subdomain::closeScanner() {
  if (!_scanner) return;
  // Cleared first: a subdomain being destroyed ignores the scanner's detach.
  Scanner* scanner = _scanner;
  _scanner = nullptr;
  scanner->destroy();
}

// The sets are emptied before the routes go, so their detach requests find
// nothing to remove.
void Subdomain::destroyRoutes() {
  RouteSet longest;
  RouteSet shortest;
  longest.swap(_longestRoutes);
  shortest.swap(_shortestRoutes);
  for (Route* route : longest) route->destroy();
  for (Route* route : shortest) route->destroy();
}

void Subdomain::reset() {
  _launchLeaves.clear();
  _latchLeaves.clear();
  _launchLeafList = {};
  _latchLeafList = {};
  destroyRoutes();
  setLAT(Delay::getUndefined());
  setSAT(Delay::getUndefined());
  setHoldRelation(Delay(0));
  setSetupRelation(Delay::getUndefined());
  setDecisive(false);
  resetMPathCritical();
  closeScanner();
}

// ---- Edge colouring --------------------------------------------------------

// The walk is a depth-first search from every launch leaf that marks the
// poles whose outgoing paths it has explored. The current path is its stack:
// the edges of the path are the edges that led to the stacked poles, and a
// pole is on the path only while it is stacked (a terminal pole leaves it
// at once), which the walk asks only of marked poles, since every stacked
// pole is marked.
void Subdomain::colourizeEdges() {
  if (!analyzer) return;
  const DomainMask mask = getMask();

  // A pole whose outgoing edges are being explored, with the edge that led
  // to it (null for a launch leaf).
  struct Frame {
    Pole* pole;
    Edge* via;
    EdgeSet::const_iterator next;
    EdgeSet::const_iterator end;
  };
  std::vector<Frame> stack;
  std::unordered_set<Pole*> onPath;

  // Adds the mask to every edge of the path that ends with `last`.
  auto colourPath = [&stack, &mask](Edge* last) {
    if (last) last->setDomainMask(last->getDomainMask() | mask);
    for (const Frame& frame : stack)
      if (frame.via) frame.via->setDomainMask(frame.via->getDomainMask() | mask);
  };
  auto sharesMask = [&mask](const Pole* pole) {
    for (const Edge* edge : pole->getOutgoingEdgeSet()) {
      const DomainMask common = edge->getDomainMask() & mask;
      if (common.isValid() && common.getNumber() != 0) return true;
    }
    return false;
  };
  // Visits a pole reached through `via`; stacks it when its outgoing edges
  // are to be explored.
  auto enter = [&](Pole* pole, Edge* via) {
    if (pole->isMarked()) {
      // Explored before: the path reaches the latch leaves when one of its
      // outgoing edges already carries the mask.
      if (sharesMask(pole)) colourPath(via);
      return;
    }
    if (pole->isTerminal()) {
      if (_latchLeaves.contains(pole->getMain())) colourPath(via);
      return;
    }
    pole->mark();
    onPath.insert(pole);
    const EdgeSet& outgoing = pole->getOutgoingEdgeSet();
    stack.push_back({pole, via, outgoing.begin(), outgoing.end()});
  };
  auto isFollowed = [&onPath](const Edge* edge) {
    Pole* target = edge->getTarget();
    return edge->isActive() && !(target->isMarked() && onPath.contains(target));
  };

  analyzer->unmark();
  for (Pole* leaf : _launchLeaves) {
    enter(leaf, nullptr);
    while (!stack.empty()) {
      Frame& frame = stack.back();
      while (frame.next != frame.end && !isFollowed(*frame.next)) ++frame.next;
      if (frame.next == frame.end) {
        onPath.erase(frame.pole);
        stack.pop_back();
        continue;
      }
      Edge* edge = *frame.next;
      ++frame.next;
      enter(edge->getTarget(), edge);
    }
  }
  analyzer->unmark();
}

// ---- Reports ---------------------------------------------------------------

void Subdomain::reportLongestRoutes(bool compact) {
  reportRoutes(getLongestRoutes(), "Reporting longest paths for domain " + getName(), true,
               compact);
}

void Subdomain::reportShortestRoutes(bool compact) {
  reportRoutes(getShortestRoutes(), "Reporting shortest paths for domain " + getName(), false,
               compact);
}

std::string Subdomain::getSlackLabel(const Route& route) const {
  return _domain->isTimed() ? route.getSlack()._getLabel() : "unconstrained";
}

void Subdomain::reportRoutes(const Routes& routes, const std::string& title, bool longest,
                             bool compact) {
  Orvek::Console& console = Orvek::console;
  console.print(title, "");
  console.indent();
  const unsigned long count = routes.getCount();
  if (count == 0) {
    console.print("Paths not computed", "");
    console.unindent();
    return;
  }

  if (compact) {
    console.openTable(5, count + 1, 8);
    const char* headings[] = {"Slack", "Delay", "Skew", "Length", "Path"};
    for (unsigned long column = 0; column < 5; ++column)
      console.addCell(column, 0, headings[column], 0, 0);
    console.addSeparator(0);
    unsigned long row = 0;
    for (Route* route : routes) {
      ++row;
      // The literal rules show the short delay of a shortest route here.
      const std::string first = longest || analyzer->isSdc()
                                    ? getSlackLabel(*route)
                                    : route->getAdjustedDelay()._getLabel();
      console.addCell(0, row, first, 1, 0);
      console.addCell(1, row, route->getDataDelay()._getLabel(), 1, 0);
      console.addCell(2, row, route->getSkew()._getLabel(), 1, 0);
      console.addCell(3, row, Orvek::getLabel(route->getDepth()), 1, 0);
      console.addCell(4, row, route->getAlias(), -1, 0);
    }
    console.closeTable();
    console.unindent();
    return;
  }

  // The clock column follows the roots: the latch clock delay for data from
  // the inputs, the launch clock delay for data to the outputs, the skew
  // between two clocks.
  const bool hasLaunch = getLaunchRoot() != nullptr;
  const bool hasLatch = getLatchRoot() != nullptr;
  std::string clockHeading = "Clock Skew";
  if (hasLatch && !hasLaunch) clockHeading = "Latch Clock Delay";
  if (hasLaunch && !hasLatch) clockHeading = "Launch Clock Delay";

  console.openTable(8, count + 2, 8);
  const std::string headings[] = {"Slack",      "Source",
                                  "Target",     "Data Delay",
                                  clockHeading, longest ? "Setup/Recovery" : "Hold/Removal",
                                  "Depth",      "Note"};
  for (unsigned long column = 0; column < 8; ++column)
    console.addCell(column, 0, Orvek::getFormatted(headings[column], 15, 0), 0, 0);
  console.addSeparator(0);

  unsigned long row = 0;
  for (Route* route : routes) {
    ++row;
    std::string target = "-";
    std::string check = "-";
    Pole* end = route->getTarget();
    if (end->isClock()) Orvek::raise<Orvek::Fatal>(kSource, "reportRoutes", "Incoherent path");
    if (end->isOutput()) {
      target = end->getName();
    } else {
      if (!end->isDual()) Orvek::raise<Orvek::Fatal>(kSource, "reportRoutes", "Incoherent path");
      const Edge* last = route->getEdgeList().back();
      target = last->getSource()->getName();
      check = (longest ? last->getMaximumDelay() : last->getMinimumDelay())._getLabel();
    }

    std::string clock = "-";
    if (hasLaunch && !hasLatch)
      clock = (-route->getSkew())._getLabel();
    else if (hasLaunch || hasLatch)
      clock = route->getSkew()._getLabel();

    std::string note;
    if (CPath* path = route->getConstrainedPath()) {
      const auto* delayPath = dynamic_cast<const DPath*>(path);
      const auto* cyclePath = dynamic_cast<const MPath*>(path);
      if (longest && cyclePath && (isPureClock() || analyzer->isSdc()))
        note = "MultiCycle: x" + Orvek::getLabel(cyclePath->getCycleCount());
      else if (longest && delayPath && delayPath->isMaximum())
        note = "MaxDelay: " + delayPath->getDelay()._getLabel();
      else if (!longest && delayPath && !delayPath->isMaximum())
        note = "MinDelay: " + delayPath->getDelay()._getLabel();
    }

    console.addCell(0, row, getSlackLabel(*route), 1, 0);
    console.addCell(1, row, route->getSource()->getName(), -1, 0);
    console.addCell(2, row, target, -1, 0);
    console.addCell(3, row, route->getDataDelay()._getLabel(), 1, 0);
    console.addCell(4, row, clock, 1, 0);
    console.addCell(5, row, check, 1, 0);
    console.addCell(6, row, Orvek::getLabel(route->getDepth()), 1, 0);
    console.addCell(7, row, note, 1, 0);
  }
  console.addSeparator(count);
  console.addCell(0, count + 1, 2, count + 1, "Total", -1, 0);
  console.addCell(3, count + 1, 7, count + 1, Orvek::getLabel(count), 1, 0);
  console.closeTable();
  console.unindent();
}

}  // namespace Morva
