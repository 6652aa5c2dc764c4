#pragma once

#include <string>

namespace MorvaImport {

// The whole text of an input file, plain or gzip-compressed. A file that
// cannot be read raises a read error naming it.
std::string readTextFile(const std::string& fileName);

}  // namespace MorvaImport
