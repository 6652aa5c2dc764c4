#pragma once

#include <Morva/Collections.h>
#include <Morva/Conventions.h>
#include <Morva/Delay.h>
#include <Morva/DomainMask.h>
#include <Morva/Export.h>
#include <Morva/Mode.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/Subdomain.h>

#include <set>
#include <string>

namespace Morva {

// One pair of clocks under analysis: the launch clock root, whose edges
// start data, and the latch clock root, whose edges capture it. A null
// launch root stands for the inputs, a null latch root for the outputs; two
// equal roots make a pure clock domain, for which the required clock period
// is derived. The domain owns one subdomain per pair of launch and latch
// clock edges and drives them through the analysis steps: clocks, arrival
// times, required times (the step counter goes 0, 1, 2, 3), then route
// searches and slack tagging.
//
// Clocks that the arithmetic cannot use are reported, not computed:
// - a duty ratio of 0% (100%) leaves a rising-to-falling (falling-to-rising)
//   path of a pure clock domain no half period to scale by; calculatePeriod
//   warns and takes that subdomain's arrival time unscaled;
// - a period of 0 or below has no common divisor with the other clock;
//   calculateRelationship returns false with Undefined relations, and
//   updateRelationship warns and leaves the subdomains' relations as they
//   were, as for a clock without a period.
class MORVA_API Domain : public Object {
 public:
  // Subdomains by launch Mode code, then latch Mode code, then creation.
  struct MORVA_API SubdomainSetLess {
    bool operator()(const Subdomain* a, const Subdomain* b) const {
      const int launchA = a->getLaunchMode().getCode();
      const int launchB = b->getLaunchMode().getCode();
      if (launchA != launchB) return launchA < launchB;
      const int latchA = a->getLatchMode().getCode();
      const int latchB = b->getLatchMode().getCode();
      if (latchA != latchB) return latchA < latchB;
      return StampLess()(a, b);
    }
  };
  using SubdomainSet = std::set<Subdomain*, SubdomainSetLess>;

  static Domain* create(Pole* launchRoot, Pole* latchRoot);
  static void preCreate(Pole* launchRoot, Pole* latchRoot);

  // "<launch root or Input> to <latch root or Output>", by report names.
  static std::string getName(Pole* launchRoot, Pole* latchRoot);
  std::string getName() const { return getName(_launchRoot, _latchRoot); }
  std::string getAlias() const override { return "DOMAIN[" + getName() + "]"; }
  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

  Pole* getLaunchRoot() const { return _launchRoot; }
  Pole* getLatchRoot() const { return _latchRoot; }
  Subdomains getSubdomains() const {
    return Orvek::SetCollection<Subdomain*, SubdomainSetLess>(_subdomains);
  }
  const SubdomainSet& getSubdomainSet() const { return _subdomains; }
  Subdomain* getSubdomain(const Mode& launchMode, const Mode& latchMode) const;
  DomainMask getMask() const { return DomainMask(_maskNumber); }
  void setMask(const DomainMask& mask) { _maskNumber = mask.getNumber(); }
  bool isAsynchronous() const { return _asynchronous; }
  void setAsynchronous(bool asynchronous) { _asynchronous = asynchronous; }
  bool isPureClock() const { return _launchRoot && _launchRoot == _latchRoot; }
  // 0 created, 1 clocks, 2 arrival times, 3 required times analyzed.
  unsigned long getStep() const { return static_cast<unsigned long>(_step); }

  void attach(Subdomain* subdomain);
  void detach(Subdomain* subdomain);

  void colourizeEdges();

  // Clock relationships.
  Delay calculatePeriod();
  // The setup and hold relations between a launch edge at `launchEdge` of a
  // clock of period `launchPeriod` and a latch edge at `latchEdge` of a
  // clock of period `latchPeriod`: the closest pair of edges found on the
  // way of a subtractive Euclid on the two periods. Returns false, with
  // both relations Undefined, when a period is not positive.
  static bool calculateRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                                    const Delay& latchPeriod, const Delay& launchEdge,
                                    const Delay& latchEdge);
  // The same relations under SDC conventions: over the common period of
  // the two clocks (gcd g), the setup relation is the smallest positive
  // distance from a launch edge to a later latch edge, (latch - launch)
  // mod g or g when that is 0, and the hold relation is setup - g. False,
  // with both Undefined, when a period is not positive.
  static bool calculateClosestRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                                           const Delay& latchPeriod, const Delay& launchEdge,
                                           const Delay& latchEdge);
  // The relations of a subdomain's edges between two clocks under the
  // rules given, from the clocks' waves alone; false when a clock has no
  // usable wave.
  bool getWaveRelationship(const Subdomain* subdomain, Conventions conventions, Delay& setup,
                           Delay& hold) const;
  void updateRelationship();
  // Whether clock edges time the domain's paths: under SDC conventions,
  // not for the inputs and outputs without IO delays, asynchronous clocks
  // or clocks without a usable wave. Always true under the literal rules,
  // which give every domain relations.
  bool isTimed() const;

  // Analysis steps; each warns and does nothing when called out of order.
  void analyze(bool tagging, bool longest, bool shortest, unsigned long count, Delay margin,
               Delay limit);
  void openScanners();
  void closeScanners();
  void clockAnalyze();
  void arrivalAnalyze();
  void requireAnalyze();
  void mature();
  void searchLongestRoutes(Delay margin, Delay limit, unsigned long count);
  void searchShortestRoutes(Delay margin, Delay limit, unsigned long count);
  void searchRoutes(Delay margin, Delay limit, unsigned long count);
  void tagSlacks();
  void reportLongestRoutes(bool compact);
  void reportShortestRoutes(bool compact);
  // Drops the scanners and the subdomains' results; the step stays.
  void reset();

 protected:
  Domain(Pole* launchRoot, Pole* latchRoot);
  void postCreate(Pole* launchRoot, Pole* latchRoot);
  void preDestroy() override;

 private:
  // The analysis steps, in order: each pass moves the domain one on.
  enum class Step : unsigned long { Created, Clocked, Arrived, Required };

  // Whether the domain is at step `wanted`; if not, warns that the step
  // after the current one is not yet analyzed (or, with `namesWanted`,
  // that `wanted` is not), or that the step after `wanted` already is.
  bool isAtStep(Step wanted, bool namesWanted = false) const;
  // A half-period subdomain's arrival time counts for the whole period in
  // the ratio of the clock's phases; 1 for the other subdomains.
  double getPeriodFactor(const Subdomain* subdomain, unsigned long duty) const;
  // Paths that no clock edge times have no slack to hold against a limit
  // or a margin: they are searched only when neither is given.
  bool isSearched(const Delay& margin, const Delay& limit) const;

  Pole* _latchRoot;
  Pole* _launchRoot;
  SubdomainSet _subdomains;
  unsigned long _maskNumber = 0;
  Step _step = Step::Created;
  bool _asynchronous = false;
};

}  // namespace Morva
