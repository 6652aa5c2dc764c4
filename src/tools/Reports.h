#pragma once

#include "Options.h"

#include <Morva/Domain.h>

#include <functional>

namespace MorvaTool {

// The console reports of an analysis: the domain report, then for every
// domain its longest and its shortest path reports (as the options ask),
// each path table followed by the pole-by-pole details with --detail.
// `keepGoing` is asked after each report; when it answers false the reports
// stop there (standard output was closed).
void printReports(const Options& options, const std::function<bool()>& keepGoing);

// The reported paths of a subdomain, longest or shortest.
const Morva::Subdomain::RouteSet& getRoutes(const Morva::Subdomain& subdomain, bool longest);

}  // namespace MorvaTool
