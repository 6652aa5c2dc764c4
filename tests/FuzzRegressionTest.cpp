// Replays the inputs kept from fuzzing through the fuzz target's own code
// path (load, analysis, every report, reset and the second launch) and
// checks how each ends. tests/data/fuzz/expected.txt lists every kept input
// with the message of the Orvek exception that must end its run, "-" for a
// run that completes; "{path}" stands for the input's own path and a final
// "*" matches any ending.

#include "../fuzz/ArchiveRun.h"

#include <Morva/Analyzer.h>
#include <Orvek/Console.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kDirectory = fs::path(MORVA_TEST_DATA) / "fuzz";
const std::string kManifest = "expected.txt";

// File name to expected outcome, from the manifest.
std::map<std::string, std::string> readManifest() {
  std::map<std::string, std::string> expected;
  std::ifstream manifest(kDirectory / kManifest);
  for (std::string line; std::getline(manifest, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    if (tab == std::string::npos) {
      ADD_FAILURE() << "manifest line without a tab: " << line;
      continue;
    }
    expected[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return expected;
}

TEST(FuzzRegressionTest, ManifestListsEveryKeptInput) {
  const auto expected = readManifest();
  ASSERT_FALSE(expected.empty());
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(kDirectory))
    if (entry.path().filename() != kManifest) files.insert(entry.path().filename().string());
  std::set<std::string> listed;
  for (const auto& [name, outcome] : expected) listed.insert(name);
  EXPECT_EQ(files, listed);
}

TEST(FuzzRegressionTest, KeptInputsEndAsExpected) {
  std::ostringstream output;
  Orvek::console.setOutput(output);
  for (const auto& [name, outcome] : readManifest()) {
    SCOPED_TRACE(name);
    const std::string path = (kDirectory / name).string();
    std::string wanted = outcome == "-" ? "" : outcome;
    if (const auto at = wanted.find("{path}"); at != std::string::npos) wanted.replace(at, 6, path);
    std::string failure;
    EXPECT_NO_THROW(failure = ArchiveFuzz::run(path));
    if (!wanted.empty() && wanted.back() == '*') {
      wanted.pop_back();
      EXPECT_EQ(failure.substr(0, wanted.size()), wanted);
    } else {
      EXPECT_EQ(failure, wanted);
    }
    // The run leaves no analyzer and a console without indentation behind.
    EXPECT_EQ(Morva::analyzer, nullptr);
    EXPECT_EQ(Orvek::console.getIndentation(), 0u);
  }
  Orvek::console.setOutput(std::cout);
}

}  // namespace
