#include "Importer.h"

#include "DesignBuilder.h"
#include "Flattener.h"
#include "Message.h"
#include "SdcReader.h"
#include "SdfReader.h"
#include "TextFile.h"
#include "VerilogReader.h"

#include <Morva/Analyzer.h>

#include <zlib.h>

#include <cctype>
#include <filesystem>
#include <memory>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/Importer";

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The first word of a file, after blanks and comments.
std::string getFirstWord(const std::string& fileName) {
  std::unique_ptr<gzFile_s, int (*)(gzFile)> file(gzopen(fileName.c_str(), "rb"), gzclose);
  if (!file) return "";
  char buffer[4096];
  const int count = gzread(file.get(), buffer, sizeof buffer);
  if (count <= 0) return "";
  const std::string text(buffer, static_cast<std::size_t>(count));
  std::size_t at = 0;
  while (at < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[at]))) {
      ++at;
    } else if (text[at] == '#' || text.compare(at, 2, "//") == 0) {
      at = text.find('\n', at);
      if (at == std::string::npos) return "";
    } else {
      break;
    }
  }
  std::size_t end = at;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                               text[end] == '_' || (end == at && text[end] == '(')))
    ++end;
  return text.substr(at, end - at);
}

}  // namespace

FileKind detectKind(const std::string& fileName) {
  const std::string name =
      endsWith(fileName, ".gz") ? fileName.substr(0, fileName.size() - 3) : fileName;
  if (endsWith(name, ".v") || endsWith(name, ".vg") || endsWith(name, ".verilog"))
    return FileKind::Verilog;
  if (endsWith(name, ".sdf")) return FileKind::Sdf;
  if (endsWith(name, ".sdc")) return FileKind::Sdc;
  if (endsWith(name, ".bench")) return FileKind::Bench;
  if (endsWith(name, ".morva")) return FileKind::Archive;
  // Only regular files are looked into: reading a FIFO or a device would
  // take what the archive loader is to read (or wait for it).
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error)) return FileKind::Archive;
  const std::string word = getFirstWord(fileName);
  if (word == "(DELAYFILE") return FileKind::Sdf;
  if (word == "module") return FileKind::Verilog;
  if (word == "INPUT" || word == "OUTPUT") return FileKind::Bench;
  return FileKind::Archive;
}

void Importer::read(const std::string& fileName, FileKind kind) {
  switch (kind) {
    case FileKind::Verilog:
      VerilogReader(_netlist).readFile(fileName);
      _verilogFiles.push_back(fileName);
      break;
    case FileKind::Sdf:
      SdfReader(_sdf, _options.corner).readFile(fileName);
      _sdfFiles.push_back(fileName);
      break;
    case FileKind::Bench:
      _benches.push_back(readBench(fileName, readTextFile(fileName), _options.bench));
      break;
    case FileKind::Sdc:
      // Read when the design is there to be queried: in `constrain`.
      readTextFile(fileName);
      _sdcFiles.push_back(fileName);
      break;
    case FileKind::Archive:
      fail(kSource, "read", fileName, 0, "archives are loaded by the analyzer, not imported");
  }
}

void Importer::build() {
  if (!_verilogFiles.empty() && _sdfFiles.empty())
    fail(kSource, "build", _verilogFiles.front(), 0,
         "a Verilog netlist needs an SDF file: the cells' arcs and pin directions come from it");
  if (_verilogFiles.empty() && !_sdfFiles.empty())
    fail(kSource, "build", _sdfFiles.front(), 0,
         "an SDF file needs the Verilog netlist it annotates");
  if (!_verilogFiles.empty() && _netlist.modules.empty())
    fail(kSource, "build", _verilogFiles.front(), 0, "no module in the Verilog files");
  if (!_verilogFiles.empty()) {
    const PinOrder pins =
        _options.pinOrderFile.empty()
            ? PinOrder()
            : readPinOrder(_options.pinOrderFile, readTextFile(_options.pinOrderFile));
    _flat = flatten(_netlist, _options.top, _sdf.divider, pins);
    buildDesign(*_flat, _sdf).commit();
  }
  for (const GraphPlan& bench : _benches) bench.commit();
}

void Importer::constrain() {
  if (_sdcFiles.empty()) return;
  if (Morva::analyzer->getMainPoles().isEmpty())
    fail(kSource, "constrain", _sdcFiles.front(), 0,
         "SDC constraints need a design: a Verilog netlist with its SDF, a .bench netlist or an "
         "archive");
  SdcDesign design(_flat ? _sdf.divider : '/', _flat ? &*_flat : nullptr);
  SdcReader reader(design, _options.lenient);
  for (const std::string& file : _sdcFiles) reader.readFile(file);
  reader.commit();
}

}  // namespace MorvaImport
