#pragma once

#include "SdfData.h"

#include <string>

namespace MorvaImport {

// Reads SDF delay files (IEEE 1497 3.0 and OVI 2.1) into delay and check
// entries. Raises a read error at the first construct it cannot read.
class SdfReader {
 public:
  SdfReader(SdfData& data, Corner corner) : _data(data), _corner(corner) {}

  void readFile(const std::string& fileName);
  void readText(const std::string& fileName, const std::string& text);

 private:
  SdfData& _data;
  Corner _corner;
};

}  // namespace MorvaImport
