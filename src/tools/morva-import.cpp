// morva-import: reads design files (structural Verilog with SDF delays,
// ISCAS .bench netlists) and writes them as one timing archive, plain or,
// when the name ends in .gz, gzip-compressed. Analysing the archive gives
// the same results as analysing the design files directly.

#include "ImportCli.h"
#include "OutputFile.h"

#include <ArchiveWriter.h>
#include <Importer.h>
#include <Message.h>
#include <Morva/Analyzer.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>

#include <zlib.h>

#include <iostream>
#include <sstream>
#include <stdexcept>

namespace {

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The text in the gzip format.
std::string getGzipped(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    throw std::runtime_error("cannot compress");
  std::string compressed(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_out = static_cast<uInt>(compressed.size());
  const int result = deflate(&stream, Z_FINISH);
  compressed.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("cannot compress");
  return compressed;
}

int run(const std::vector<std::string>& inputs, const std::string& output,
        const MorvaImport::ImportOptions& options) {
  // The output's place is checked before any reading.
  MorvaTool::OutputFile file;
  std::string error;
  if (!file.open(output, error)) {
    std::cerr << "morva-import: " << error << std::endl;
    return 2;
  }
  MorvaImport::Importer importer(options);
  for (const std::string& input : inputs) importer.read(input, MorvaImport::detectKind(input));
  importer.build();
  importer.constrain();
  std::ostringstream text;
  text << "# Written by morva-import from:";
  for (const std::string& input : inputs) text << ' ' << input;
  text << '\n';
  // The archive holds no rule set: constraints from SDC are meant to be
  // analysed under the SDC rules, as morva reads the SDC files directly.
  if (importer.hasConstraints())
    text << "# Constraints from SDC: analyse with morva --conventions sdc\n";
  MorvaImport::writeArchive(text);
  file.getStream() << (endsWith(output, ".gz") ? getGzipped(text.str()) : text.str());
  if (!file.commit(error)) {
    std::cerr << "morva-import: " << error << std::endl;
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
                 "Design files: .v, .sdf, .sdc, .bench (kinds also told by their first word)")
      ->required();
  app.add_option("-o,--output", output,
                 "The archive to write (.morva, or .morva.gz to compress it)")
      ->required();
  bool lenient = false;
  app.add_flag("--lenient", lenient, "Skip unknown SDC commands with a warning instead of failing");
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
    MorvaImport::ImportOptions options = importCli.getOptions();
    options.lenient = lenient;
    status = run(inputs, output, options);
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
