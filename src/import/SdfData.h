#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace MorvaImport {

// A delay as the analysis takes it: whole picoseconds, the smaller and the
// larger bound over the transitions given.
struct Bounds {
  long long minimum = 0;
  long long maximum = 0;
};

// Where an SDF entry was read.
struct Place {
  std::string file;
  std::size_t line = 0;
};

enum class Corner { MinMax, Typical };

// One delay or check entry of an SDF file. Pins and nets are full
// hierarchical names (the cell's instance path joined with the divider);
// `instance` is the cell's path ("*" with `cellType` for every instance
// of that type).
struct SdfEntry {
  enum class Kind { IOPath, Interconnect, Port, NetDelay, Device, SetupHold, RecoveryRemoval };
  Kind kind = Kind::IOPath;
  bool increment = false;
  std::string cellType;
  std::string instance;
  std::string from;  // IOPATH input pin, INTERCONNECT source, check data pin
  std::string to;    // IOPATH output pin, INTERCONNECT/PORT target, NETDELAY net, DEVICE output pin
                     // (of the cell), check clock pin
  char clockEdge = 0;  // 'r' (posedge) or 'f' (negedge) of a check's clock, 0 if none
  Bounds bounds;       // for checks: minimum = hold/removal, maximum = setup/recovery
  bool hasMinimum = true;
  bool hasMaximum = true;
  Place place;
};

// What the SDF files say, in reading order.
struct SdfData {
  char divider = '/';
  bool dividerSet = false;
  std::vector<SdfEntry> entries;
  // Timing checks that the analysis does not model, by keyword, with the
  // first place each was seen and how many there were.
  std::map<std::string, std::pair<Place, std::size_t>> ignored;
};

}  // namespace MorvaImport
