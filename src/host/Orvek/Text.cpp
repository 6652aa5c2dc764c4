#include <Orvek/Text.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>
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

namespace {

// Appends the sort key of `name` to `keys`: bytes as they are, a run of
// digits as '0', the count of its digits after leading zeros plus one, and
// those digits. Keys hold no zero byte, and comparing two keys byte by
// byte (a key ending first being less) orders the names as isAlphaLess
// does, up to the names that only differ in leading zeros. False for a
// name that cannot be keyed so: a zero byte, or a number of over 254
// digits.
bool appendAlphaKey(std::string_view name, std::string& keys) {
  for (std::size_t i = 0; i < name.size();) {
    if (name[i] == '\0') return false;
    if (!isDigit(name[i])) {
      keys += name[i++];
      continue;
    }
    while (i < name.size() && name[i] == '0') ++i;
    const std::size_t start = i;
    while (i < name.size() && isDigit(name[i])) ++i;
    if (i - start > 254) return false;
    keys += '0';
    keys += static_cast<char>(i - start + 1);
    keys.append(name.substr(start, i - start));
  }
  return true;
}

// Eight bytes of a key from `offset` on, the first the most significant,
// zeros past its end.
uint64_t getKeyChunk(std::string_view key, std::size_t offset) {
  uint64_t chunk = 0;
  if (offset + 8 <= key.size()) {
    std::memcpy(&chunk, key.data() + offset, 8);
    if constexpr (std::endian::native == std::endian::little) chunk = __builtin_bswap64(chunk);
    return chunk;
  }
  for (std::size_t i = 0; i < 8; ++i) {
    const std::size_t at = offset + i;
    chunk = chunk << 8 | (at < key.size() ? static_cast<unsigned char>(key[at]) : 0u);
  }
  return chunk;
}

}  // namespace

std::vector<std::size_t> getAlphaOrder(const std::vector<std::string_view>& names) {
  std::vector<std::size_t> order(names.size());
  std::string keys;
  std::vector<std::size_t> bounds{0};
  bounds.reserve(names.size() + 1);
  bool keyed = true;
  for (std::size_t i = 0; keyed && i < names.size(); ++i) {
    order[i] = i;
    keyed = appendAlphaKey(names[i], keys);
    bounds.push_back(keys.size());
  }
  if (!keyed) {
    for (std::size_t i = 0; i < names.size(); ++i) order[i] = i;
    // Names the order holds equal go by their bytes, as below: the order is
    // then the same whichever names are sorted together.
    std::sort(order.begin(), order.end(), [&names](std::size_t a, std::size_t b) {
      if (isAlphaLess(names[a], names[b])) return true;
      return !isAlphaLess(names[b], names[a]) && names[a] < names[b];
    });
    return order;
  }
  const auto getKey = [&](std::size_t i) {
    return std::string_view(keys).substr(bounds[i], bounds[i + 1] - bounds[i]);
  };
  // Ranges of names whose keys agree on their first `depth` chunks, sorted
  // by their next chunk; a range whose keys end there is sorted by name.
  struct Range {
    std::size_t begin, end, depth;
  };
  std::vector<Range> ranges{{0, names.size(), 0}};
  std::vector<std::pair<uint64_t, std::size_t>> items(names.size());
  while (!ranges.empty()) {
    const Range range = ranges.back();
    ranges.pop_back();
    for (std::size_t i = range.begin; i < range.end; ++i)
      items[i] = {getKeyChunk(getKey(order[i]), 8 * range.depth), order[i]};
    std::sort(items.begin() + static_cast<std::ptrdiff_t>(range.begin),
              items.begin() + static_cast<std::ptrdiff_t>(range.end));
    for (std::size_t i = range.begin; i < range.end; ++i) order[i] = items[i].second;
    for (std::size_t first = range.begin; first < range.end;) {
      std::size_t last = first + 1;
      while (last < range.end && items[last].first == items[first].first) ++last;
      if (last - first > 1) {
        if ((items[first].first & 0xff) == 0)
          std::sort(order.begin() + static_cast<std::ptrdiff_t>(first),
                    order.begin() + static_cast<std::ptrdiff_t>(last),
                    [&names](std::size_t a, std::size_t b) { return names[a] < names[b]; });
        else
          ranges.push_back({first, last, range.depth + 1});
      }
      first = last;
    }
  }
  return order;
}

unsigned long getRandomValue() {
  static std::mt19937_64 generator(0x6d6f727661ULL);
  return generator();
}

}  // namespace Orvek
