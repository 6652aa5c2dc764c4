#include <Orvek/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Names drawn from few characters, so that they share long prefixes, digit
// runs with leading zeros, equal numbers and prefixes of each other; some
// carry a number too long to be keyed, or a zero byte.
std::vector<std::string> drawNames(std::mt19937& random, std::size_t count, bool unkeyable) {
  const std::string alphabet = "ab/_0019:Z";
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name;
    const std::size_t length = random() % 24;
    for (std::size_t j = 0; j < length; ++j) name += alphabet[random() % alphabet.size()];
    if (unkeyable && i == count / 2) name += std::string(300, '7');
    if (unkeyable && i == count / 3) name += '\0';
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::shuffle(names.begin(), names.end(), random);
  return names;
}

// The order of a comparison sort with isAlphaLess, name by name.
TEST(AlphaOrder, SortsAsTheNaturalComparison) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    const std::vector<std::string> names = drawNames(random, 1 + random() % 600, round % 5 == 4);
    const std::vector<std::string_view> views(names.begin(), names.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return Orvek::isAlphaLess(a, b); });
    std::vector<std::string> sorted;
    for (std::size_t position : Orvek::getAlphaOrder(views)) sorted.push_back(names[position]);
    ASSERT_EQ(sorted, expected) << "round " << round;
  }
  EXPECT_TRUE(Orvek::getAlphaOrder({}).empty());
}

}  // namespace
