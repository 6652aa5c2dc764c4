#pragma once

#include <Morva/Analyzer.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace Morva {

// The summary table of an analysis: one row per subdomain, grouped by
// domain, with the clock frequencies found for pure clock domains and, in
// the full form, the worst hold and setup slacks and where they come from.
// The compact form lists the domains between two clocks only.
class DomainReport {
 public:
  explicit DomainReport(const Analyzer& analyzer) : _analyzer(analyzer) {}

  void print(bool compact) const;

 private:
  struct Row {
    std::string source;
    std::string target;
    std::string required;
    std::string maximum;
    std::string holdSlack;
    std::string shortest;
    std::string holdRelation;
    std::string setupSlack;
    std::string longest;
    std::string setupRelation;
  };

  // The slacks and relations are left out of a compact row.
  Row getRow(const Domain* domain, const Subdomain* subdomain, bool compact) const;
  void printFull(const std::vector<std::vector<Row>>& domains, unsigned long rows) const;
  void printCompact(const std::vector<std::vector<Row>>& domains, unsigned long rows) const;
  // Writes the domains' rows from `row` on, one column per field (the two
  // names left-aligned, the figures right-aligned), a separator after each
  // domain; returns the row after the last.
  static unsigned long addRows(const std::vector<std::vector<Row>>& domains, unsigned long row,
                               std::initializer_list<std::string Row::*> fields);

  const Analyzer& _analyzer;
};

}  // namespace Morva
