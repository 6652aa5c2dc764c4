#pragma once

#include "Options.h"

#include <Morva/Delay.h>
#include <Morva/Domain.h>
#include <Morva/Route.h>

namespace MorvaTool {

// The negative slacks of one kind of check (setup or hold) over a domain
// or the whole design: the worst one (WNS, 0 when none is negative) and
// their sum (TNS). A capture point counts once, with its worst reported
// path; a subdomain without reported paths of that kind counts with the
// slack of its domain report row.
struct NegativeSlack {
  long long worst = 0;
  long long total = 0;

  void add(const NegativeSlack& other);
};

struct Verdict {
  NegativeSlack setup;
  NegativeSlack hold;

  void add(const Verdict& other);
  bool isViolated() const { return setup.worst < 0 || hold.worst < 0; }
};

// The slacks of a subdomain's domain report row, as the report computes
// them.
Morva::Delay getSetupSlack(const Morva::Subdomain& subdomain);
Morva::Delay getHoldSlack(const Morva::Subdomain& subdomain);
// Whether a slack is a time: not one of the codes (Undefined, Minimum,
// Maximum), and in a domain that clock edges time.
bool isTimedSlack(const Morva::Domain& domain, const Morva::Delay& slack);

// The verdict of a domain over the kinds the options report (rows count
// for both kinds with --no-routes).
Verdict getVerdict(const Morva::Domain& domain, const Options& options);
Verdict getVerdict(const Options& options);

// The number of reported paths (the kinds the options ask for, in every
// subdomain) whose slack is negative.
unsigned long countViolations(const Options& options);

}  // namespace MorvaTool
