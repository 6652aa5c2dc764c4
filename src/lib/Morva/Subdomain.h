#pragma once

#include <Morva/Collections.h>
#include <Morva/Delay.h>
#include <Morva/DomainMask.h>
#include <Morva/Export.h>
#include <Morva/Mode.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/Route.h>

#include <set>
#include <string>
#include <vector>

namespace Morva {

class Domain;
class Scanner;

// The part of a domain that concerns one launch clock edge and one latch
// clock edge (Mode None on a missing side). It owns at most one scanner,
// keeps the leaves where its data starts and ends, its arrival times and
// clock relations, and the longest and shortest routes found for it, worst
// slack first. Flag 1 is decisive (it set the required period of its pure
// clock domain), flag 2 multicycle critical.
class MORVA_API Subdomain : public Object {
 public:
  // Routes by slack ascending, ties in creation order.
  struct MORVA_API RouteSetLess {
    bool operator()(const Route* a, const Route* b) const;
  };
  using RouteSet = std::set<Route*, RouteSetLess>;

  static Subdomain* create(Domain* domain, const Mode& launchMode, const Mode& latchMode);
  static void preCreate(Domain* domain, const Mode& launchMode, const Mode& latchMode);

  // "<launch side> to <latch side>", each side "Input"/"Output" for a
  // missing root, else the root's report name, ":" and the Mode name.
  static std::string getName(Domain* domain, const Mode& launchMode, const Mode& latchMode);
  std::string getName() const;
  // Report texts: "Input" or the root's report name and "(Mode)".
  std::string getSourceName() const;
  std::string getTargetName() const;
  std::string getAlias() const override;
  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

  Domain* getDomain() const { return _domain; }
  Scanner* getScanner() const { return _scanner; }
  const Mode& getLaunchMode() const { return _launchMode; }
  const Mode& getLatchMode() const { return _latchMode; }
  Pole* getLaunchRoot() const;
  Pole* getLatchRoot() const;
  bool isPureClock() const;
  DomainMask getMask() const;

  Poles getLaunchLeaves() const { return Orvek::SetCollection<Pole*, StampLess>(_launchLeaves); }
  Poles getLatchLeaves() const { return Orvek::SetCollection<Pole*, StampLess>(_latchLeaves); }
  const PoleSet& getLaunchLeafSet() const { return _launchLeaves; }
  const PoleSet& getLatchLeafSet() const { return _latchLeaves; }
  // The same leaves as arrays in the same order, for the walks that go
  // through them again and again; made on first use after a change.
  const std::vector<Pole*>& getLaunchLeafList() const;
  const std::vector<Pole*>& getLatchLeafList() const;
  void captureLaunch(Pole* pole);
  void captureLatch(Pole* pole);

  Routes getLongestRoutes() const {
    return Orvek::SetCollection<Route*, RouteSetLess>(_longestRoutes);
  }
  Routes getShortestRoutes() const {
    return Orvek::SetCollection<Route*, RouteSetLess>(_shortestRoutes);
  }
  const RouteSet& getLongestRouteSet() const { return _longestRoutes; }
  const RouteSet& getShortestRouteSet() const { return _shortestRoutes; }

  void setLAT(const Delay& delay) { _longestArrivalTime = static_cast<int>(delay); }
  void setSAT(const Delay& delay) { _shortestArrivalTime = static_cast<int>(delay); }
  void setSetupRelation(const Delay& delay) { _setupRelation = static_cast<int>(delay); }
  void setHoldRelation(const Delay& delay) { _holdRelation = static_cast<int>(delay); }
  Delay getLAT() const { return Delay(_longestArrivalTime); }
  Delay getSAT() const { return Delay(_shortestArrivalTime); }
  Delay getSetupRelation() const { return Delay(_setupRelation); }
  Delay getHoldRelation() const { return Delay(_holdRelation); }

  void setDecisive(bool decisive) { setFlagBit(1, decisive); }
  bool isDecisive() const { return flag(1); }
  void setMPathCritical() { setFlagBit(2, true); }
  void resetMPathCritical() { setFlagBit(2, false); }
  bool isMPathCritical() const { return flag(2); }

  // Registration, called by the scanner and the routes themselves.
  void attach(Scanner* scanner);
  void detach(Scanner* scanner);
  void attach(Route* route);
  void detach(Route* route);

  // Replaces the scanner by a new one and returns it.
  Scanner* openScanner();
  void closeScanner();
  void analyze() {}

  void reportLongestRoutes(bool compact);
  void reportShortestRoutes(bool compact);
  void reportRoutes(const Routes& routes, const std::string& title, bool longest, bool compact);
  // A route's slack as the reports show it: "unconstrained" in a domain
  // that no clock edge times.
  std::string getSlackLabel(const Route& route) const;

  // Marks with the domain's mask every edge on a path of active edges from
  // a launch leaf to a latch leaf. The walk keeps its own stack, so its
  // depth is not bounded by the machine stack.
  void colourizeEdges();
  // Back to the created state: no leaves, routes, scanner or results.
  void reset();

 protected:
  Subdomain(Domain* domain, const Mode& launchMode, const Mode& latchMode);
  void postCreate(Domain* domain, const Mode& launchMode, const Mode& latchMode);
  void preDestroy() override;

 private:
  void destroyRoutes();

  Domain* _domain;
  Scanner* _scanner = nullptr;
  Mode _latchMode;
  Mode _launchMode;
  PoleSet _latchLeaves;
  PoleSet _launchLeaves;
  // The leaf sets as arrays: filled as leaves are captured, put in the
  // sets' order when asked for. Walking the tree nodes instead costs a
  // cache miss a leaf.
  struct LeafList {
    std::vector<Pole*> poles;
    bool ordered = true;
  };
  mutable LeafList _latchLeafList;
  mutable LeafList _launchLeafList;
  static void capture(PoleSet& leaves, LeafList& list, Pole* pole);
  static const std::vector<Pole*>& getList(LeafList& list);
  int _longestArrivalTime;
  int _shortestArrivalTime;
  int _holdRelation = 0;
  int _setupRelation;
  RouteSet _longestRoutes;
  RouteSet _shortestRoutes;
};

}  // namespace Morva
