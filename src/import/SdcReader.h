#pragma once

#include "SdcDesign.h"

#include <memory>
#include <string>

namespace MorvaImport {

class SdcSession;

// Evaluates SDC files as Tcl scripts with the SDC commands registered, and
// turns their constraints into the analyzer's clocks, clock groups, input
// and output delays and path exceptions. Every problem is a read error (or,
// for what is only skipped, a warning) naming the file and line.
class SdcReader {
 public:
  // With `lenient`, an unknown command is a warning and is skipped.
  SdcReader(SdcDesign& design, bool lenient);
  ~SdcReader();
  SdcReader(const SdcReader&) = delete;
  SdcReader& operator=(const SdcReader&) = delete;

  // Evaluates one file: clocks and clock groups are created at once, the
  // rest is kept for `commit`.
  void readFile(const std::string& fileName);
  // The same for a script's text, reported as `fileName`.
  void readText(const std::string& fileName, const std::string& text);
  // Creates the input and output delays and the path exceptions read.
  void commit();

 private:
  std::unique_ptr<SdcSession> _session;
};

}  // namespace MorvaImport
