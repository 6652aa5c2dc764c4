#pragma once

#include <Importer.h>
#include <Morva/Conventions.h>
#include <Morva/Delay.h>

#include <string>
#include <vector>

namespace MorvaTool {

// What one run of the morva command line is asked to do.
struct Options {
  std::vector<std::string> archives;
  bool compact = false;
  // Routes kept per subdomain and kind.
  unsigned long count = 50;
  // Routes whose slack is above the limit are not kept; the margin lowers
  // the limit of a subdomain to its worst slack plus the margin. Maximum
  // leaves either one out.
  Morva::Delay limit = Morva::Delay::getMaximum();
  Morva::Delay margin = Morva::Delay::getMaximum();
  bool setupOnly = false;
  bool holdOnly = false;
  bool noRoutes = false;
  bool tagSlacks = false;
  bool weights = false;
  bool detail = false;
  // Empty for no JSON, "-" for standard output, else a file name.
  std::string json;
  // Empty for no HTML page, else a file name.
  std::string html;
  bool failOnViolation = false;
  bool debug = false;
  bool quiet = false;
  bool stats = false;
  Morva::Conventions conventions = Morva::Conventions::Literal;
  // The SDC rules were chosen because SDC constraints are read (no
  // --conventions given).
  bool conventionsFromSdc = false;
  // Lines that an archive's loader rejected or misread are reported either
  // way; only without this option do they make the run fail.
  bool lenient = false;
  // How design files (Verilog, SDF, .bench) among the inputs are read.
  MorvaImport::ImportOptions importOptions;

  bool searchesLongest() const { return !noRoutes && !holdOnly; }
  bool searchesShortest() const { return !noRoutes && !setupOnly; }
  bool hasJson() const { return !json.empty(); }
  bool hasJsonOnStandardOutput() const { return json == "-"; }
  bool hasHtml() const { return !html.empty(); }
};

// Exit statuses of the command line.
enum Status : int { Success = 0, Violation = 1, Failure = 2 };

// Reads the command line into `options`. Returns -1 when the analysis is to
// run; otherwise the help, the version or a usage error has been printed
// and the result is the exit status (Success or Failure).
int parseOptions(int argc, char** argv, Options& options);

}  // namespace MorvaTool
