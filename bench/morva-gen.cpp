// morva-gen: writes a seeded synthetic design as a Morva archive, plain or
// gzip-compressed. The same seed and options always give the same bytes.
//
//   morva-gen --edges 1000000 --clocks 2 --seed 7 -o design.morva.gz
//   morva-gen --edges 5000 --loops --stats > small.morva

#include "DesignWriter.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  MorvaBench::DesignOptions options;
  std::string output = "-";
  bool gzip = false;
  bool stats = false;

  CLI::App app{
      "Writes a synthetic timing design (registers on 1 to 4 clocks with their clock trees,\n"
      "combinational cones, ports with and without delays, clock groups and a few path\n"
      "exceptions) as a Morva archive. The same seed and options give the same bytes.",
      "morva-gen"};
  app.add_option("--edges,-e", options.edges, "Number of edges aimed at (within a few percent)")
      ->capture_default_str()
      ->check(CLI::Range(100ULL, 1000000000ULL));
  app.add_option("--seed,-s", options.seed, "Seed of the random choices")->capture_default_str();
  app.add_option("--clocks,-c", options.clocks, "Number of clocks")
      ->capture_default_str()
      ->check(CLI::Range(1U, 4U));
  app.add_option("--depth,-d", options.depth, "Gate levels between two registers")
      ->capture_default_str()
      ->check(CLI::Range(1U, 100U));
  app.add_option("--fanin,-f", options.fanin, "Mean number of inputs of a gate")
      ->capture_default_str()
      ->check(CLI::Range(1U, 12U));
  app.add_flag("--loops,-l", options.loops, "Add combinational loops");
  app.add_flag("--gzip,-z", gzip, "Compress with gzip (also implied by a .gz output name)");
  app.add_option("--output,-o", output, "Output file, - for standard output")
      ->capture_default_str();
  app.add_flag("--stats", stats, "Print what was written on standard error");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version end with status 0, usage errors with 2.
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (output.size() > 3 && output.compare(output.size() - 3, 3, ".gz") == 0) gzip = true;
  if (gzip && output == "-" && isatty(STDOUT_FILENO)) {
    std::cerr << "morva-gen: refusing to write compressed data to a terminal (use -o FILE)\n";
    return 2;
  }

  try {
    MorvaBench::DesignWriter writer(options);
    const MorvaBench::DesignCounts counts = writer.writeFile(output, gzip);
    if (stats)
      std::cerr << "morva-gen: " << counts.edges << " edges, " << counts.poles << " poles, "
                << counts.registers << " registers, " << counts.gates << " gates, " << counts.inputs
                << " inputs, " << counts.outputs << " outputs, " << counts.loops << " loops, "
                << counts.exceptions << " exceptions; " << counts.textBytes << " bytes of text, "
                << counts.fileBytes << " bytes written\n";
  } catch (const std::exception& error) {
    std::cerr << "morva-gen: " << error.what() << '\n';
    return 2;
  }
  return 0;
}
