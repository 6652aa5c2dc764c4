// libFuzzer target of the archive loader and of the analysis behind it.
//
// Every input is written to a scratch file and handed to ArchiveFuzz::run,
// exactly as a host program would load an archive from disk (an input that
// starts with the gzip magic is decompressed by zlib on the way). Console
// output goes nowhere.
//
// A failure reported through an `Orvek::Exception` is the expected answer to
// bad input. Anything else -- a crash, another exception, a leak, undefined
// behaviour -- is a finding.

#include "ArchiveRun.h"

#include <Orvek/Console.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>

namespace {

// A stream buffer that accepts and drops everything, so that the console's
// formatting still runs in full.
class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

DiscardBuffer discardBuffer;
std::ostream discard(&discardBuffer);

// One scratch file per process: libFuzzer's -jobs and -fork modes run
// several processes side by side.
const std::string& getScratchPath() {
  static const std::string path = [] {
    const auto name = "morva-fuzz-" + std::to_string(getpid()) + ".morva";
    std::string result = (std::filesystem::temp_directory_path() / name).string();
    std::atexit([] { std::remove(getScratchPath().c_str()); });
    return result;
  }();
  return path;
}

bool writeScratch(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(getScratchPath().c_str(), "wb");
  if (!file) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Orvek::console.setOutput(discard);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!writeScratch(data, size)) std::abort();
  ArchiveFuzz::run(getScratchPath());
  return 0;
}
