#include "Options.h"

#include "ImportCli.h"

#include <CLI/CLI.hpp>

#include <string>

namespace MorvaTool {

namespace {

// Delays on the command line are real times: the two ends of the 32-bit
// range are the codes Minimum and Maximum, the bottom one Undefined.
constexpr long long kLowestTime = -2147483646LL;
constexpr long long kHighestTime = 2147483646LL;

const char* kFooter =
    "Delays (--limit, --margin) are integers in picoseconds.\n"
    "With --json -, the JSON goes to standard output and the console reports to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the analysis ran to its end (or standard output was closed early)\n"
    "  1  --fail-on-violation and a reported path or a domain report row has a negative slack\n"
    "  2  bad usage; an archive or design file could not be read, or (without --lenient) had\n"
    "     lines that were rejected or misread, or warnings; the analysis, a report, the JSON or\n"
    "     the HTML output failed\n"
    "  130, 143  interrupted by SIGINT or SIGTERM (no JSON or HTML file is left behind)";

}  // namespace

int parseOptions(int argc, char** argv, Options& options) {
  CLI::App app(
      "Loads timing archives (plain or gzip-compressed) into one analyzer, analyses every clock "
      "domain and prints the domain report, then the longest (setup) and shortest (hold) paths "
      "of every domain.",
      "morva");
  long long limit = 0;
  long long margin = 0;
  app.add_option("ARCHIVE", options.archives,
                 "Archive files, loaded in the order given (- for standard input), and design "
                 "files (.v with its .sdf, .bench), read and built first; SDC files (.sdc) are "
                 "evaluated last, on all of them")
      ->required();
  ImportCli importCli;
  importCli.addTo(app);
  app.add_flag("-c,--compact", options.compact, "Print the compact forms of the reports");
  app.add_option("-n,--count", options.count, "Paths kept per subdomain and kind")
      ->check(CLI::Range(1UL, 1000000000UL))
      ->capture_default_str();
  CLI::Option* limitOption =
      app.add_option("-l,--limit", limit, "Keep only paths whose slack is at most PS")
          ->type_name("PS")
          ->check(CLI::Range(kLowestTime, kHighestTime));
  CLI::Option* marginOption =
      app.add_option("-m,--margin", margin,
                     "Keep only paths within PS of the worst slack of their subdomain")
          ->type_name("PS")
          ->check(CLI::Range(kLowestTime, kHighestTime));
  CLI::Option* setupOnly =
      app.add_flag("--setup-only", options.setupOnly, "Search and report the longest paths only");
  CLI::Option* holdOnly =
      app.add_flag("--hold-only", options.holdOnly, "Search and report the shortest paths only");
  CLI::Option* noRoutes =
      app.add_flag("--no-routes", options.noRoutes,
                   "No path search and no path reports: the domain report only");
  CLI::Option* tagSlacks =
      app.add_flag("--tag-slacks", options.tagSlacks, "Tag every edge with its worst setup slack");
  CLI::Option* weights = app.add_flag("--weights", options.weights,
                                      "Rank the edges by critical paths (needs --tag-slacks)");
  CLI::Option* detail = app.add_flag("--detail", options.detail,
                                     "After each path table, list every path pole by pole");
  app.add_option("--json", options.json,
                 "Write the results as JSON to FILE (- for standard output)")
      ->type_name("FILE");
  app.add_option("--html", options.html,
                 "Write the results as one self-contained HTML page to FILE")
      ->type_name("FILE")
      ->check(CLI::Validator(
          [](const std::string& name) {
            return name == "-"
                       ? std::string("the page is written to a file, not to standard output")
                       : std::string();
          },
          "FILE"));
  app.add_flag("--fail-on-violation", options.failOnViolation,
               "Exit with status 1 when a reported path or a domain report row has a negative "
               "slack");
  std::string conventions = "literal";
  CLI::Option* conventionsOption =
      app.add_option("--conventions", conventions,
                     "Rules of the analysis: literal (the library's own, the default) or sdc (the "
                     "readings of SDC constraints timing engineers expect)")
          ->check(CLI::IsMember({"literal", "sdc"}))
          ->capture_default_str();
  app.add_flag("--lenient", options.lenient,
               "Do not fail on archive lines rejected or misread nor on design files' warnings, "
               "and skip unknown SDC commands (all still reported)");
  app.add_flag("--debug", options.debug, "Switch the library's debug mode on");
  app.add_flag("-q,--quiet", options.quiet, "Print results only, no progress lines");
  app.add_flag("--stats", options.stats,
               "First print a summary of the archives and statistics of the timing graph");
  app.set_version_flag("--version", std::string("morva ") + MORVA_VERSION);
  setupOnly->excludes(holdOnly);
  noRoutes->excludes(setupOnly)->excludes(holdOnly)->excludes(detail);
  weights->needs(tagSlacks);
  app.footer(kFooter);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? Success : Failure;
  }
  options.conventions = *Morva::findConventions(conventions);
  options.importOptions = importCli.getOptions();
  options.importOptions.lenient = options.lenient;
  // Constraints written in SDC are read under the SDC rules unless the
  // command line names the rules.
  if (conventionsOption->count() == 0)
    for (const std::string& input : options.archives)
      if (input != "-" && MorvaImport::detectKind(input) == MorvaImport::FileKind::Sdc) {
        options.conventions = Morva::Conventions::Sdc;
        options.conventionsFromSdc = true;
      }
  if (limitOption->count() > 0) options.limit = Morva::Delay(static_cast<int>(limit));
  if (marginOption->count() > 0) options.margin = Morva::Delay(static_cast<int>(margin));
  return -1;
}

}  // namespace MorvaTool
