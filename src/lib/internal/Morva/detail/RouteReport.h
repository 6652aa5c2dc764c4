#pragma once

#include <Morva/Collections.h>

#include <string>

namespace Morva {

class Route;
class Subdomain;

// The table of the routes a subdomain keeps: in full, one row per route with
// its ends, data delay, clock delay or skew, check time, depth and the
// governing constraint; in the compact form slack, delay, skew, length and
// the route itself.
class RouteReport {
 public:
  explicit RouteReport(const Subdomain& subdomain) : _subdomain(subdomain) {}

  void print(const Routes& routes, const std::string& title, bool longest, bool compact) const;

 private:
  void printCompact(const Routes& routes, unsigned long count, bool longest) const;
  void printFull(const Routes& routes, unsigned long count, bool longest) const;
  // The constraint a route follows, as the Note column shows it.
  std::string getNote(const Route& route, bool longest) const;

  const Subdomain& _subdomain;
};

}  // namespace Morva
