#pragma once

#include <Morva/CPath.h>
#include <Morva/Collections.h>
#include <Morva/Delay.h>
#include <Morva/Edge.h>
#include <Morva/Export.h>
#include <Morva/GraphEpoch.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace Morva {

class Subdomain;

// One timing path found in a subdomain: a chain of edges from a launch leaf
// to a capture point, framed by the clock delays to its launching and
// capturing leaves. A longest route is a setup (recovery) path, a shortest
// route a hold (removal) path. Every delay and the slack are computed on
// demand from the edges and from the subdomain's current relations.
// Flag 1 is the longest flag.
class MORVA_API Route : public Object {
 public:
  static Route* createLongest(Subdomain* subdomain, const Edges& edges, const Delay& latchDelay,
                              const Delay& launchDelay, const Delay& difference);
  static Route* createShortest(Subdomain* subdomain, const Edges& edges, const Delay& latchDelay,
                               const Delay& launchDelay, const Delay& difference);
  static void preCreate(Subdomain* subdomain, bool longest, const Edges& edges,
                        const Delay& latchDelay, const Delay& launchDelay, const Delay& difference);
  // The checks of `preCreate` on the two ends and the delays, for a caller
  // whose edges are known to follow each other.
  static void checkSource(const Subdomain* subdomain, const Pole* source);
  static void checkTarget(const Subdomain* subdomain, const Pole* target);
  static void checkDelays(const Delay& latchDelay, const Delay& launchDelay,
                          const Delay& difference);

  // Structure.
  Subdomain* getSubdomain() const { return _subdomain; }
  bool isLongest() const { return flag(1); }
  Edges getEdges() const;
  Edges getInternalEdges() const { return getEdges().getInternals(); }
  Edges getExternalEdges() const { return getEdges().getExternals(); }
  const std::list<Edge*>& getEdgeList() const { return _edges; }
  Pole* getSource() const;
  Pole* getTarget() const;
  // The source, then the target of every edge, in path order.
  Poles getPoles() const;
  // The number of internal (non-interconnect) edges.
  unsigned long getDepth() const;
  bool contains(Pole* pole) const;
  bool contains(Edge* edge) const;
  bool isConstrained() const { return _constrainedPath != nullptr; }
  CPath* getConstrainedPath() const { return _constrainedPath; }
  void setConstrainedPath(CPath* path) { _constrainedPath = path; }

  Delay getLatchDelay() const { return Delay(_latchDelay); }
  Delay getLaunchDelay() const { return Delay(_launchDelay); }
  Delay getDifference() const { return Delay(_difference); }

  // Delays: bounded Delay arithmetic, which may raise "Delay overflow" or
  // "Delay underflow".
  Delay getDataDelay() const;
  Delay getSkew() const;
  Delay getDelay() const;
  Delay getLongDelay() const;
  Delay getShortDelay() const;
  Delay getAdjustedDelay() const;
  Delay getInternalDelay() const;
  Delay getExternalDelay() const;
  Delay getSetupTime() const;
  Delay getHoldTime() const;
  Delay getRecoveryTime() const;
  Delay getRemovalTime() const;
  Delay getSlack() const;
  // The slack a route of these edges and delays would have, computed as
  // `getSlack` computes it.
  static Delay getSlack(const Subdomain* subdomain, bool longest, const std::vector<Edge*>& edges,
                        const Delay& latchDelay, const Delay& launchDelay, const Delay& difference);

  // Source name, "...", target name.
  std::string getIdentifier() const;
  std::string getAlias() const override;
  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  Route(Subdomain* subdomain, bool longest, const Edges& edges, const Delay& latchDelay,
        const Delay& launchDelay, const Delay& difference);
  void postCreate(Subdomain* subdomain, bool longest, const Edges& edges, const Delay& latchDelay,
                  const Delay& launchDelay, const Delay& difference);
  void preDestroy() override;

 private:
  static Route* create(Subdomain* subdomain, bool longest, const Edges& edges,
                       const Delay& latchDelay, const Delay& launchDelay, const Delay& difference);
  // Whether the route ends in a register's check arc (its target is dual).
  bool hasDualTarget() const;
  Edge* getLastEdge() const { return _edges.empty() ? nullptr : _edges.back(); }
  // The maximum (longest route) or minimum (shortest route) delay of an edge.
  Delay getEdgeDelay(const Edge* edge) const;

  Subdomain* _subdomain;
  std::list<Edge*> _edges;
  int _latchDelay;
  int _launchDelay;
  int _difference;
  CPath* _constrainedPath = nullptr;
  // The slack as last worked out, at that graph epoch and relation.
  mutable uint64_t _slackEpoch = 0;
  mutable int _slackRelation = 0;
  mutable int _slack = 0;
};

}  // namespace Morva
