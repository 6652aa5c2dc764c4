#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace MorvaTool {

// The distribution of a set of slacks (picoseconds) in bins of one nice
// width (1, 2 or 5 times a power of ten), chosen from the data so that about
// twenty bins cover it. Zero is always a bin boundary, so that a bin holds
// either negative slacks only or no negative slack at all.
class Histogram {
 public:
  explicit Histogram(const std::vector<std::int64_t>& slacks);

  bool isEmpty() const { return _counts.empty(); }
  // The lower bound of the first bin, the bin width and the counts.
  std::int64_t getStart() const { return _start; }
  std::int64_t getStep() const { return _step; }
  const std::vector<unsigned long>& getCounts() const { return _counts; }

  // The histogram as an inline SVG image, its bars carrying their counts
  // (data-count) and bounds (data-from, data-to) for programs reading the page.
  void writeSvg(std::ostream& out) const;

  // A time as an axis label: "-200ps", "1.5ns".
  static std::string getAxisLabel(std::int64_t picoseconds);

 private:
  static std::int64_t getNiceStep(std::int64_t least);

  std::int64_t _start = 0;
  std::int64_t _step = 1;
  std::vector<unsigned long> _counts;
};

}  // namespace MorvaTool
