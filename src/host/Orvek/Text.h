#pragma once

#include <Orvek/Export.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Orvek {

// The words of `text` between any of the `separators` characters; empty
// words (from leading, trailing or repeated separators) are dropped.
ORVEK_API std::vector<std::string> getSplitted(const std::string& text,
                                               const std::string& separators);
ORVEK_API std::string getReversed(const std::string& text);

// `text` laid out in lines of at most `width` characters, broken between
// words ("\n" between lines); each line is padded to `width` on the right
// (alignment -1), on the left (1) or on both sides (0). A word longer than
// the width stands on a line of its own.
ORVEK_API std::string getFormatted(const std::string& text, unsigned width, int alignment);

// Alphabetical order of names in which runs of digits compare as numbers,
// so that "r2" comes before "r10"; names equal in that order fall back to
// byte order.
ORVEK_API bool isAlphaLess(std::string_view a, std::string_view b);

struct ORVEK_API AlphaLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return isAlphaLess(a, b); }
};

// The positions of `names` in the order of `isAlphaLess`, found without
// comparing names pairwise where it can: each name becomes once a key whose
// byte order is that order (a digit run as a mark, its length and its
// digits), and the keys are sorted eight bytes at a time.
ORVEK_API std::vector<std::size_t> getAlphaOrder(const std::vector<std::string_view>& names);

// A pseudo-random number from a generator seeded once per process with a
// fixed seed, so that runs repeat.
ORVEK_API unsigned long getRandomValue();

}  // namespace Orvek
