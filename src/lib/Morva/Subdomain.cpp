#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/MPath.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>
#include <Morva/detail/DepthFirst.h>
#include <Morva/detail/PathSet.h>
#include <Morva/detail/RouteReport.h>
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
  // A leaf after the last one goes at the end without a search.
  if (leaves.empty() || StampLess()(*leaves.rbegin(), pole)) {
    leaves.insert(leaves.end(), pole);
    list.poles.push_back(pole);
    return;
  }
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

namespace {

// The colouring walk: a depth-first search from a launch leaf along
// outgoing edges that marks the poles whose outgoing paths it has explored.
// The current path is its stack: the edges of the path are the edges that
// led to the stacked poles, and a pole is on the path only while it is
// stacked (a terminal pole leaves it at once), which the walk asks only of
// marked poles, since every stacked pole is marked.
class ColourWalk {
 public:
  struct FrameData {};

  ColourWalk(const DomainMask& mask, const PoleSet& latchLeaves)
      : _mask(mask), _latchLeaves(latchLeaves) {}

  void run(Pole* leaf) {
    DepthFirst<ColourWalk> walk(*this);
    _walk = &walk;
    walk.run(leaf);
  }

  bool enter(Pole* pole, Edge* via, FrameData&) {
    if (pole->isMarked()) {
      // Explored before: the path reaches the latch leaves when one of its
      // outgoing edges already carries the mask.
      if (sharesMask(pole)) colourPath(via);
      return false;
    }
    if (pole->isTerminal()) {
      if (_latchLeaves.contains(pole->getMain())) colourPath(via);
      return false;
    }
    pole->mark();
    _onPath.insert(pole);
    return true;
  }
  static const EdgeSet& getEdges(Pole* pole) { return pole->getOutgoingEdgeSet(); }
  static Pole* getFar(Edge* edge) { return edge->getTarget(); }
  bool isFollowed(const Edge* edge, const Pole*) const {
    Pole* target = edge->getTarget();
    return edge->isActive() && !(target->isMarked() && _onPath.contains(target));
  }
  static bool isOnPath(const Pole*) { return false; }
  static void closeLoop() {}
  static bool isNew(const Pole*) { return true; }
  static void join(Pole*, Pole*) {}
  void leave(Pole* pole, FrameData&) { _onPath.erase(pole); }

 private:
  // Adds the mask to every edge of the path that ends with `last`.
  void colourPath(Edge* last) {
    if (last) last->setDomainMask(last->getDomainMask() | _mask);
    for (const auto& frame : _walk->getStack())
      if (frame.via) frame.via->setDomainMask(frame.via->getDomainMask() | _mask);
  }
  bool sharesMask(const Pole* pole) const {
    for (const Edge* edge : pole->getOutgoingEdgeSet()) {
      const DomainMask common = edge->getDomainMask() & _mask;
      if (common.isValid() && common.getNumber() != 0) return true;
    }
    return false;
  }

  const DomainMask _mask;
  const PoleSet& _latchLeaves;
  PathSet _onPath;
  DepthFirst<ColourWalk>* _walk = nullptr;
};

}  // namespace

void Subdomain::colourizeEdges() {
  if (!analyzer) return;
  ColourWalk walk(getMask(), _latchLeaves);
  analyzer->unmark();
  for (Pole* leaf : _launchLeaves) walk.run(leaf);
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
  RouteReport(*this).print(routes, title, longest, compact);
}

}  // namespace Morva
