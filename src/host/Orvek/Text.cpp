#include <Orvek/Text.h>

#include <algorithm>
#include <cctype>
#include <random>

namespace Orvek {

std::vector<std::string> getSplitted(const std::string& text, const std::string& separators) {
  std::vector<std::string> words;
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find_first_of(separators, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) words.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return words;
}

std::string getReversed(const std::string& text) {
  return std::string(text.rbegin(), text.rend());
}

namespace {

std::string pad(const std::string& line, unsigned width, int alignment) {
  if (line.size() >= width) return line;
  auto room = width - line.size();
  if (alignment < 0) return line + std::string(room, ' ');
  if (alignment > 0) return std::string(room, ' ') + line;
  auto left = room / 2;
  return std::string(left, ' ') + line + std::string(room - left, ' ');
}

}  // namespace

std::string getFormatted(const std::string& text, unsigned width, int alignment) {
  std::vector<std::string> lines;
  std::string current;
  for (const auto& word : getSplitted(text, " ")) {
    if (!current.empty() && current.size() + 1 + word.size() > width) {
      lines.push_back(current);
      current.clear();
    }
    current += (current.empty() ? "" : " ") + word;
  }
  if (!current.empty() || lines.empty()) lines.push_back(current);
  std::string result;
  for (const auto& line : lines) {
    if (!result.empty()) result += '\n';
    result += pad(line, width, alignment);
  }
  return result;
}

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool isAlphaLess(std::string_view a, std::string_view b) {
  // The common prefix reads the same in both names, so the comparison may
  // start where they part, backed up to the start of a digit run that
  // spans that place: numbers are compared whole.
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = static_cast<std::size_t>(
      std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin()).first -
      a.begin());
  while (i > 0 && isDigit(a[i - 1])) --i;
  std::size_t j = i;
  while (i < a.size() && j < b.size()) {
    const char ca = a[i];
    const char cb = b[j];
    if (isDigit(ca) && isDigit(cb)) {
      auto si = i, sj = j;
      while (si < a.size() && a[si] == '0') ++si;
      while (sj < b.size() && b[sj] == '0') ++sj;
      auto ei = si, ej = sj;
      while (ei < a.size() && isDigit(a[ei])) ++ei;
      while (ej < b.size() && isDigit(b[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      if (int c = a.substr(si, ei - si).compare(b.substr(sj, ej - sj)); c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size() && i == a.size();
  return a < b;
}

unsigned long getRandomValue() {
  static std::mt19937_64 generator(0x6d6f727661ULL);
  return generator();
}

}  // namespace Orvek
