#pragma once

#include <Importer.h>

#include <CLI/CLI.hpp>

#include <string>

namespace MorvaTool {

// The command-line options that say how design files are read, shared by
// morva and morva-import.
class ImportCli {
 public:
  void addTo(CLI::App& app);
  MorvaImport::ImportOptions getOptions() const;

 private:
  std::string _top;
  std::string _pinOrder;
  std::string _corner = "minmax";
  std::string _benchDelay = "unit";
  long long _benchUnit = 100;
  long long _period = 10000;
};

}  // namespace MorvaTool
