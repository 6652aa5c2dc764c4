#include "Histogram.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace MorvaTool {

namespace {

// Bins wanted over the range of the data; the nice width makes about 8 to 21.
constexpr std::int64_t kBins = 20;

// The drawing, in SVG user units: the plot area inside its margins.
constexpr int kWidth = 520;
constexpr int kHeight = 190;
constexpr int kLeft = 44;
constexpr int kRight = 24;
constexpr int kTop = 12;
constexpr int kBottom = 34;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kPlotHeight = kHeight - kTop - kBottom;
constexpr std::int64_t kTicks = 6;

std::int64_t floorDivide(std::int64_t value, std::int64_t divisor) {
  const std::int64_t quotient = value / divisor;
  return quotient * divisor > value ? quotient - 1 : quotient;
}

}  // namespace

Histogram::Histogram(const std::vector<std::int64_t>& slacks) {
  if (slacks.empty()) return;
  const auto [lowest, highest] = std::minmax_element(slacks.begin(), slacks.end());
  _step = getNiceStep((*highest - *lowest + kBins - 1) / kBins);
  _start = floorDivide(*lowest, _step) * _step;
  _counts.assign(static_cast<std::size_t>((*highest - _start) / _step + 1), 0);
  for (const std::int64_t slack : slacks)
    ++_counts[static_cast<std::size_t>((slack - _start) / _step)];
}

std::int64_t Histogram::getNiceStep(std::int64_t least) {
  for (std::int64_t scale = 1;; scale *= 10)
    for (const std::int64_t factor : {1, 2, 5})
      if (factor * scale >= least) return factor * scale;
}

std::string Histogram::getAxisLabel(std::int64_t picoseconds) {
  if (picoseconds > -1000 && picoseconds < 1000) return std::to_string(picoseconds) + "ps";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(picoseconds) / 1000.0);
  std::string label = text;
  label.erase(label.find_last_not_of('0') + 1);
  if (label.back() == '.') label.pop_back();
  return label + "ns";
}

void Histogram::writeSvg(std::ostream& out) const {
  out << "<svg class=\"histogram\" viewBox=\"0 0 " << kWidth << ' ' << kHeight
      << "\" role=\"img\"><line class=\"axis\" x1=\"" << kLeft << "\" y1=\"" << kTop + kPlotHeight
      << "\" x2=\"" << kLeft + kPlotWidth << "\" y2=\"" << kTop + kPlotHeight << "\"/>";
  if (_counts.empty()) {
    out << "<text x=\"" << kLeft + kPlotWidth / 2 << "\" y=\"" << kTop + kPlotHeight / 2
        << "\" text-anchor=\"middle\">No paths</text></svg>";
    return;
  }
  const unsigned long highest = *std::max_element(_counts.begin(), _counts.end());
  const std::int64_t bins = static_cast<std::int64_t>(_counts.size());
  const double width = static_cast<double>(kPlotWidth) / static_cast<double>(bins);
  const auto coordinate = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return std::string(text);
  };
  for (std::int64_t bin = 0; bin < bins; ++bin) {
    const unsigned long count = _counts[static_cast<std::size_t>(bin)];
    const double height = static_cast<double>(kPlotHeight) * static_cast<double>(count) /
                          static_cast<double>(highest);
    const std::int64_t from = _start + bin * _step;
    out << "<rect class=\"bar" << (from < 0 ? " negative" : "") << "\" x=\""
        << coordinate(kLeft + width * static_cast<double>(bin) + 0.5) << "\" y=\""
        << coordinate(kTop + kPlotHeight - height) << "\" width=\""
        << coordinate(std::max(width - 1.0, 0.5)) << "\" height=\"" << coordinate(height)
        << "\" data-count=\"" << count << "\" data-from=\"" << from << "\" data-to=\""
        << from + _step << "\"><title>" << getAxisLabel(from) << " to "
        << getAxisLabel(from + _step) << ": " << count << (count == 1 ? " path" : " paths")
        << "</title></rect>";
  }
  // A label on every few bin boundaries, from the first one.
  const std::int64_t every = (bins + kTicks - 1) / kTicks;
  for (std::int64_t boundary = 0; boundary <= bins; boundary += every) {
    const std::string x = coordinate(kLeft + width * static_cast<double>(boundary));
    out << "<line class=\"tick\" x1=\"" << x << "\" y1=\"" << kTop + kPlotHeight << "\" x2=\"" << x
        << "\" y2=\"" << kTop + kPlotHeight + 4 << "\"/><text x=\"" << x << "\" y=\""
        << kTop + kPlotHeight + 16 << "\" text-anchor=\"middle\">"
        << getAxisLabel(_start + boundary * _step) << "</text>";
  }
  out << "<text x=\"" << kLeft - 6 << "\" y=\"" << kTop + 8 << "\" text-anchor=\"end\">" << highest
      << "</text><text x=\"" << kLeft - 6 << "\" y=\"" << kTop + kPlotHeight
      << "\" text-anchor=\"end\">0</text><text x=\"" << kLeft + kPlotWidth / 2 << "\" y=\""
      << kHeight - 4 << "\" text-anchor=\"middle\">slack</text></svg>";
}

}  // namespace MorvaTool
