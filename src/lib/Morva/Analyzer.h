#pragma once

#include <Morva/Collections.h>
#include <Morva/Conventions.h>
#include <Morva/DPath.h>
#include <Morva/Delay.h>
#include <Morva/Domain.h>
#include <Morva/Edge.h>
#include <Morva/Export.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/PoleRegistry.h>
#include <Morva/Wave.h>
#include <Orvek/Text.h>

#include <deque>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Morva {

class Analyzer;

// The one analyzer, null while none exists.
MORVA_API extern Analyzer* analyzer;

using PoleNameMap = std::map<std::string, Pole*, Orvek::AlphaLess>;
using WaveMap = std::map<Pole*, Wave, Object::StampLess>;
using PoleSetMap = std::map<Pole*, PoleSet, Object::StampLess>;
using IOConstraintMap = std::map<Pole*, IOConstraint, Object::StampLess>;
using PeriodMap = std::map<Pole*, Delay, Object::StampLess>;
using CPathSet = std::set<CPath*, Object::StampLess>;

// ---- Analysis: scan tables ----
// Pole to the clock roots that reach it through the clock network.
using ClockMap = std::map<Pole*, PoleSet, Object::StampLess>;
// Pole to a number of critical paths (the edge weights' path counts).
using PathCountMap = std::map<Pole*, unsigned long, Object::StampLess>;
// ---- End of analysis: scan tables ----

// The analysis engine: the registry of poles, constrained paths, clocks,
// clock groups and input/output delays, and the analysis driver.
class MORVA_API Analyzer : public Object {
 public:
  static Analyzer* create();
  static void preCreate();

  std::string getAlias() const override { return "ANALYZER"; }
  Orvek::Record* _getRecord() const override;

  // Registration, called by the objects themselves.
  void attach(Pole* pole);
  void detach(Pole* pole);
  void attach(FPath* path);
  void attach(DPath* path);
  void attach(MPath* path);
  void detach(FPath* path);
  void detach(DPath* path);
  void detach(MPath* path);

  // ---- Domains: registration and look-ups ----
  // Input domains first, then the domains between two clocks by launch then
  // latch root name, then the domains towards the outputs; ties by stamp.
  struct MORVA_API DomainSetLess {
    bool operator()(const Domain* a, const Domain* b) const;
  };
  using DomainNameMap = std::map<std::string, Domain*, Orvek::AlphaLess>;
  using DomainSet = std::set<Domain*, DomainSetLess>;

  void attach(Domain* domain);
  // Ignored while the analyzer itself is being destroyed.
  void detach(Domain* domain);
  Domains getDomains() const;
  const DomainSet& getDomainSet() const { return _domains; }
  Domain* getDomain(const std::string& name) const;
  Domain* getDomain(Pole* launchRoot, Pole* latchRoot) const;
  Domain* getDomain(const std::string& launchClock, const std::string& latchClock) const;
  // ---- End of domains ----

  // Look-ups.
  Pole* getMainPole(const std::string& name) const;
  Pole* getDualPole(const std::string& name) const;
  Pole* getClockRoot(const std::string& name) const;
  Poles getMainPoles() const;
  Poles getDualPoles() const;
  Poles getPoles() const;
  // The poles `accept` takes, in the order of `getPoles`: looked for in
  // number order, which reads the poles as they lie in memory, and put in
  // order among themselves, which costs little when they are few.
  template <class Accept>
  std::vector<Pole*> selectPoles(Accept accept) const {
    std::vector<Pole*> poles;
    Pole::forEachNumbered([&](Pole* pole) {
      if (accept(pole)) poles.push_back(pole);
    });
    orderPoles(poles);
    return poles;
  }
  // Keeps the poles of `poles` this analyzer holds, in the order of
  // `getPoles`.
  void orderPoles(std::vector<Pole*>& poles) const;
  Edges getEdges() const;
  // The registries behind the look-ups and the pole views.
  const PoleRegistry& getMainPoleRegistry() const { return _mainPoles; }
  const PoleRegistry& getDualPoleRegistry() const { return _dualPoles; }
  // Makes room for `count` more main poles: a loader that expects many
  // spares the index its growth steps.
  void reserveMainPoles(std::size_t count) { _mainPoles.reserve(_mainPoles.size() + count); }

  FPaths getFalsePaths() const;
  DPaths getMaxdelayPaths() const;
  DPaths getMindelayPaths() const;
  MPaths getMulticyclePaths() const;
  // False, maximum delay, minimum delay then multicycle paths.
  CPaths getCPaths() const;
  CPaths getCPaths(const Mask& mask) const;
  unsigned long getCPathCount() const;

  // The rules of the next analysis (Literal unless set); they take effect
  // when domains are analysed, so set them before.
  Conventions getConventions() const { return _conventions; }
  void setConventions(Conventions conventions) { _conventions = conventions; }
  bool isSdc() const { return _conventions == Conventions::Sdc; }

  bool needReset() const { return _needReset; }
  void demandReset() { _needReset = true; }

  bool hasWave(Pole* pole) const;
  const Wave& getWave(Pole* pole) const;
  const Delay& getPeriod(Pole* pole) const;
  void setPeriod(Pole* pole, const Delay& period);

  const Mask& getFalsePathMask() const { return _falsePathMask; }
  const Mask& getMaxdelayPathMask() const { return _maxdelayPathMask; }
  const Mask& getMindelayPathMask() const { return _mindelayPathMask; }
  const Mask& getMulticyclePathMask() const { return _multicyclePathMask; }
  void setFalsePathMask(const Mask& mask) { _falsePathMask = mask; }
  void setMaxdelayPathMask(const Mask& mask) { _maxdelayPathMask = mask; }
  void setMindelayPathMask(const Mask& mask) { _mindelayPathMask = mask; }
  void setMulticyclePathMask(const Mask& mask) { _multicyclePathMask = mask; }

  // Clocks.
  void createClock(Pole* root, const Wave& wave);
  void createClock(Pole* root, const std::string& name, const Delay& period, const Delay& rising,
                   const Delay& falling);
  void removeClock(const std::string& name);
  void resetClocks();
  Delay getRequiredPeriod(Pole* root) const;
  unsigned long getDutyRatio(Pole* root) const;
  Delay getHighWidth(Pole* root) const;
  Delay getLowWidth(Pole* root) const;
  Delay getClockShift(Pole* root) const;
  const WaveMap& getWaveMap() const { return _waveMap; }
  const PoleNameMap& getClockNameMap() const { return _clockNameMap; }

  // Clock groups.
  void createClockGroups(const Poles& first, const Poles& second, bool exclusive);
  void resetClockGroups();
  const PoleSetMap& getExclusivePoleSetMap() const { return _exclusivePoleSetMap; }
  const PoleSetMap& getAsynchronousPoleSetMap() const { return _asynchronousPoleSetMap; }
  // Whether the table relates the two roots in either direction.
  static bool isRelated(const PoleSetMap& table, Pole* a, Pole* b);

  // Input and output delays.
  void setInputConstraint(Pole* port, const IOConstraint& constraint);
  void setOutputConstraint(Pole* port, const IOConstraint& constraint);
  bool hasInputConstraint(Pole* port) const;
  bool hasInputConstraint(Pole* port, IOConstraint& constraint) const;
  bool hasOutputConstraint(Pole* port) const;
  bool hasOutputConstraint(Pole* port, IOConstraint& constraint) const;
  const IOConstraint& getInputConstraint(Pole* port) const;
  const IOConstraint& getOutputConstraint(Pole* port) const;
  const IOConstraintMap& getInputDelays() const { return _inputDelay; }
  const IOConstraintMap& getOutputDelays() const { return _outputDelay; }

  // The loop stack shared by the graph walks.
  void loopOpen();
  void loopPush(Pole* pole);
  void loopPop();
  void loopClose();
  bool isLooping(Pole* pole) const;
  Poles getLoopPoles() const;
  // Clears the mark of every pole.
  void unmark();
  // Called by `Pole::mark`: the poles to unmark.
  void noteMarked(Pole* pole) { _markedPoles.push_back(pole); }
  // The poles marked since the last `unmark`, some perhaps unmarked since:
  // walks that keep their own marks start from these.
  const std::vector<Pole*>& getMarkedPoles() const { return _markedPoles; }

  // ---- Analysis: domain creation, constraints, weights, driver, report ----
  // Clock group tests of a domain's two roots.
  bool isExclusive(Domain* domain) const;
  bool isAsynchronous(Domain* domain) const;

  // Domain creation: the clock scan fills the clock roots of every clock
  // pole (and of the constrained ports) that `clockMap` lacks; the data scan
  // creates the domains and subdomains from it. Both walk the whole graph;
  // loops are counted and reported, never followed.
  void scanClocks(ClockMap& clockMap);
  void scanData(const ClockMap& clockMap);
  void createDomains();

  // Constraint masks: numbering of the constrained paths, then the
  // sensitisation of the graph with them, once until the next reset.
  void prolog();
  void scanConstrainedPaths();
  void achieveConstrainedPaths();
  bool cpathsAchieved() const { return _cpathsAchieved; }
  void resetFalsePaths();
  void resetMaxdelayPaths();
  void resetMindelayPaths();
  void resetMulticyclePaths();

  // Edge weights from the slacks: ranks of the critical path counts.
  void tagWeights(float ratio);
  void tagWeights(const Delay& limit);
  void forwardScan(const Delay& limit, PathCountMap& counts);
  void backwardScan(const Delay& limit, PathCountMap& counts);
  // Gives every domain its domain mask bit and colours its edges.
  void colourizeEdges();

  // The analysis driver.
  void analyze();
  void analyze(const Domains& domains);
  void launch(const Domains& domains, bool tagging, bool weights, bool longest, bool shortest,
              unsigned long count, const Delay& margin, const Delay& limit);
  void reset();
  void reportDomains(bool compact) const;
  // ---- End of analysis ----

 protected:
  Analyzer();
  ~Analyzer() override;
  void postCreate();
  void preDestroy() override;

 private:
  static void checkPort(Pole* port, bool input, const char* operation);
  // Drops every reference the tables hold to a pole that goes away.
  void forget(Pole* pole);
  void clearLoopStack();

  PoleRegistry _mainPoles;
  PoleRegistry _dualPoles;
  PoleNameMap _clockNameMap;
  // ---- Domains ----
  DomainNameMap _domainNameMap;
  DomainSet _domains;
  // ---- End of domains ----
  // Every pole marked since the last `unmark` (a pole unmarked alone and
  // marked again appears twice).
  std::vector<Pole*> _markedPoles;
  // The loop stack, newest first, and which poles are on it by pole
  // number: the walks ask at every edge whether its far end is, and push
  // and pop every pole they enter.
  std::vector<bool> _loopingNumbers;
  std::deque<Pole*> _loopStack;
  bool _loopOpened = false;
  bool _needReset = false;
  Conventions _conventions = Conventions::Literal;
  bool _cpathsAchieved = false;
  CPathSet _falsePaths;
  CPathSet _maxdelayPaths;
  CPathSet _mindelayPaths;
  CPathSet _multicyclePaths;
  Mask _falsePathMask;
  Mask _maxdelayPathMask;
  Mask _mindelayPathMask;
  Mask _multicyclePathMask;
  PeriodMap _periodMap;
  WaveMap _waveMap;
  PoleSetMap _exclusivePoleSetMap;
  PoleSetMap _asynchronousPoleSetMap;
  IOConstraintMap _inputDelay;
  IOConstraintMap _outputDelay;
};

}  // namespace Morva
