#include "TextFile.h"

#include "Message.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace MorvaImport {

namespace {
constexpr const char* kSource = "import/TextFile";
}

std::string readTextFile(const std::string& fileName) {
  std::unique_ptr<gzFile_s, int (*)(gzFile)> file(gzopen(fileName.c_str(), "rb"), gzclose);
  if (!file)
    fail(kSource, "read", fileName, 0, std::string("cannot open: ") + std::strerror(errno));
  gzbuffer(file.get(), 1 << 18);
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const int count = gzread(file.get(), buffer, sizeof buffer);
    if (count < 0) fail(kSource, "read", fileName, 0, "cannot read the file");
    if (count == 0) break;
    text.append(buffer, static_cast<std::size_t>(count));
  }
  return text;
}

}  // namespace MorvaImport
