#include <Morva/detail/DomainReport.h>
#include <Orvek/Console.h>
#include <Orvek/Text.h>

namespace Morva {

namespace {

void heading(unsigned long first, unsigned long row, unsigned long last, const std::string& text) {
  Orvek::console.addCell(first, row, last, row, text, 0, 0);
}

}  // namespace

void DomainReport::print(bool compact) const {
  Orvek::console.print("Reporting domains", "");
  Orvek::console.indent();
  // Rows are made before the table opens, so that a failure leaves no
  // half-filled table behind.
  std::vector<std::vector<Row>> domains;
  unsigned long rows = 0;
  try {
    for (const Domain* domain : _analyzer.getDomainSet()) {
      if (compact && !(domain->getLaunchRoot() && domain->getLatchRoot())) continue;
      std::vector<Row>& group = domains.emplace_back();
      for (const Subdomain* subdomain : domain->getSubdomainSet())
        group.push_back(getRow(domain, subdomain, compact));
      rows += group.size();
    }
  } catch (...) {
    Orvek::console.unindent();
    throw;
  }
  if (rows == 0)
    Orvek::console.print("Analyzer not launched", "");
  else if (compact)
    printCompact(domains, rows);
  else
    printFull(domains, rows);
  Orvek::console.unindent();
}

DomainReport::Row DomainReport::getRow(const Domain* domain, const Subdomain* subdomain,
                                       bool compact) const {
  Pole* launchRoot = domain->getLaunchRoot();
  Pole* latchRoot = domain->getLatchRoot();
  Row row;
  row.source = launchRoot
                   ? launchRoot->getReportName() + " (" + subdomain->getLaunchMode().getName() + ")"
                   : "Input";
  row.target = latchRoot
                   ? latchRoot->getReportName() + " (" + subdomain->getLatchMode().getName() + ")"
                   : "Output";
  row.required = "-";
  row.maximum = "-";
  // Decisive subdomains belong to pure clock domains: the launch root is set.
  if (subdomain->isDecisive() && launchRoot) {
    const Delay required = _analyzer.getRequiredPeriod(launchRoot);
    if (required != Delay::getUndefined()) row.required = required.getFrequency()._getLabel();
    row.maximum = _analyzer.getPeriod(launchRoot).getFrequency()._getLabel();
  }
  const Delay shortest = subdomain->getSAT();
  const Delay longest = subdomain->getLAT();
  row.shortest = shortest._getLabel();
  row.longest = longest._getLabel();
  if (compact) return row;
  const Delay hold = subdomain->getHoldRelation();
  const Delay setup = subdomain->getSetupRelation();
  if (!domain->isTimed()) {
    // No clock edge times these paths: their arrival times alone.
    row.holdSlack = row.setupSlack = "unconstrained";
    row.holdRelation = row.setupRelation = "-";
    return row;
  }
  row.holdSlack = (shortest - hold)._getLabel();
  row.holdRelation = hold._getLabel();
  row.setupSlack = (setup - longest)._getLabel();
  row.setupRelation = setup._getLabel();
  return row;
}

void DomainReport::printFull(const std::vector<std::vector<Row>>& domains,
                             unsigned long rows) const {
  auto wide = [](const std::string& text) { return Orvek::getFormatted(text, 30, 0); };
  auto narrow = [](const std::string& text) { return Orvek::getFormatted(text, 15, 0); };
  Orvek::console.openTable(10, rows + 4, 8);
  heading(0, 0, 1, wide("Domain"));
  heading(2, 0, 3, wide("Frequency"));
  heading(4, 0, 6, wide("Hold/Removal Summary"));
  heading(7, 0, 9, wide("Setup/Recovery Summary"));
  Orvek::console.addSeparator(0);
  const char* titles[] = {"Source",       "Target",          "Required",         "Maximum",
                          "Slack",        "Minimum Data",    "Minimum Required", "Slack",
                          "Maximum Data", "Maximum Required"};
  for (unsigned long column = 0; column < 10; ++column)
    heading(column, 1, column, narrow(titles[column]));
  heading(5, 2, 5, narrow("Arrival Time"));
  heading(6, 2, 6, narrow("Relationship"));
  heading(8, 2, 8, narrow("Arrival Time"));
  heading(9, 2, 9, narrow("Relationship"));
  Orvek::console.addSeparator(2);
  const unsigned long row = addRows(
      domains, 3,
      {&Row::source, &Row::target, &Row::required, &Row::maximum, &Row::holdSlack, &Row::shortest,
       &Row::holdRelation, &Row::setupSlack, &Row::longest, &Row::setupRelation});
  Orvek::console.addCell(0, row, 1, row, "Total", -1, 0);
  Orvek::console.addCell(2, row, 9, row, std::to_string(rows), 1, 0);
  Orvek::console.closeTable();
}

void DomainReport::printCompact(const std::vector<std::vector<Row>>& domains,
                                unsigned long rows) const {
  Orvek::console.openTable(6, rows + 2, 8);
  heading(0, 0, 1, "Domain");
  heading(2, 0, 3, "Frequency");
  heading(4, 0, 5, "Delays");
  Orvek::console.addSeparator(0);
  const char* titles[] = {"Source", "Target", "Required", "Maximum", "Shortest", "Longest"};
  for (unsigned long column = 0; column < 6; ++column) heading(column, 1, column, titles[column]);
  Orvek::console.addSeparator(1);
  addRows(
      domains, 2,
      {&Row::source, &Row::target, &Row::required, &Row::maximum, &Row::shortest, &Row::longest});
  Orvek::console.closeTable();
}

unsigned long DomainReport::addRows(const std::vector<std::vector<Row>>& domains, unsigned long row,
                                    std::initializer_list<std::string Row::*> fields) {
  for (const std::vector<Row>& group : domains) {
    for (const Row& cells : group) {
      unsigned long column = 0;
      for (std::string Row::*field : fields) {
        Orvek::console.addCell(column, row, cells.*field, column < 2 ? -1 : 1, 0);
        ++column;
      }
      ++row;
    }
    if (!group.empty()) Orvek::console.addSeparator(row - 1);
  }
  return row;
}

}  // namespace Morva
