// morva-import: reads design files (structural Verilog with SDF delays,
// ISCAS .bench netlists) and writes them as one timing archive, plain or,
// when the name ends in .gz, gzip-compressed. Analysing the archive gives
// the same results as analysing the design files directly.

#include "ImportCli.h"

#include <ArchiveWriter.h>
#include <Importer.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Writes the text to the file, compressed when its name ends in .gz.
bool writeFile(const std::string& fileName, const std::string& text) {
  if (endsWith(fileName, ".gz")) {
    gzFile file = gzopen(fileName.c_str(), "wb");
    if (!file) return false;
    const bool written =
        text.empty() || gzwrite(file, text.data(), static_cast<unsigned>(text.size())) > 0;
    return gzclose(file) == Z_OK && written;
  }
  std::ofstream file(fileName, std::ios::binary);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

int run(const std::vector<std::string>& inputs, const std::string& output,
        const MorvaImport::ImportOptions& options) {
  MorvaImport::Importer importer(options);
  for (const std::string& input : inputs) importer.read(input, MorvaImport::detectKind(input));
  importer.build();
  std::ostringstream text;
  text << "# Written by morva-import from:";
  for (const std::string& input : inputs) text << ' ' << input;
  text << '\n';
  MorvaImport::writeArchive(text);
  if (!writeFile(output, text.str())) {
    std::cerr << "morva-import: cannot write " << output << std::endl;
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Reads design files (structural Verilog with its SDF, ISCAS .bench) and writes a timing "
      "archive.",
      "morva-import");
  std::vector<std::string> inputs;
  std::string output;
  app.add_option("INPUT", inputs,
                 "Design files: .v, .sdf, .bench (kinds also told by their first word)")
      ->required();
  app.add_option("-o,--output", output,
                 "The archive to write (.morva, or .morva.gz to compress it)")
      ->required();
  MorvaTool::ImportCli importCli;
  importCli.addTo(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }
  // Warnings go to standard error, standard output stays free.
  Orvek::console.setOutput(std::cerr);
  Morva::Analyzer::create();
  int status = 2;
  try {
    status = run(inputs, output, importCli.getOptions());
  } catch (const MorvaImport::ReadError& error) {
    std::cerr << "morva-import: " << error.what() << std::endl;
  } catch (const Orvek::Exception& error) {
    std::cerr << "morva-import: " << error.getMessage() << " (at " << error.getLocation() << ")"
              << std::endl;
  } catch (const std::exception& error) {
    std::cerr << "morva-import: " << error.what() << std::endl;
  }
  Morva::analyzer->destroy();
  return status;
}
