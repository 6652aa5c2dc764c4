// The host layer's errors, records, labels and the ordering of names.

#include <Orvek/Debug.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>
#include <Orvek/Text.h>

#include "Support.h"

#include <algorithm>
#include <set>

namespace {

constexpr const char* kSource = "lib/Morva/Sample";

// A value with a label of its own, like the library's value classes.
class Sample : public Orvek::Stuff {
 public:
  explicit Sample(int value) : _value(value) {}
  std::string _getLabel() const override { return "<Sample " + std::to_string(_value) + ">"; }

 private:
  int _value;
};

}  // namespace

TEST(Exception, RaiseLocatesAndKeepsTheMessage) {
  unsigned long line = 0;
  try {
    line = __LINE__ + 1;
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setPeriod", "Rejected period");
    FAIL() << "raise returned";
  } catch (const Orvek::InvalidRequest& exception) {
    EXPECT_STREQ(exception.what(), "Rejected period");
    EXPECT_EQ(exception.getMessage(), "Rejected period");
    EXPECT_EQ(exception.getFile(), "lib/Morva/Sample");
    EXPECT_EQ(exception.getOperation(), "setPeriod");
    EXPECT_EQ(exception.getLine(), line);
    EXPECT_EQ(exception.getLocation(), "lib/Morva/Sample:setPeriod:" + std::to_string(line));
  }
  Orvek::Exception unlocated("Plain");
  EXPECT_STREQ(unlocated.what(), "Plain");
  EXPECT_EQ(unlocated.getFile(), "");
  EXPECT_EQ(unlocated.getLine(), 0UL);
}

TEST(Record, AddingTheSameSlotTwiceKeepsOneCopy) {
  Orvek::Record record("r");
  Orvek::Slot* slot = Orvek::getSlot("Count", 3);
  record.addSlot(slot);
  record.addSlot(slot);
  EXPECT_EQ(record.getSlots().size(), 1u);
  slot->setName("Total");
  EXPECT_EQ(record.getSlots()[0]->getName(), "Total");
}

TEST(Label, LabelsOfPlainValues) {
  EXPECT_EQ(Orvek::getLabel(true), "1");
  EXPECT_EQ(Orvek::getLabel(false), "0");
  EXPECT_EQ(Orvek::getLabel(-12), "-12");
  EXPECT_EQ(Orvek::getLabel(4000000000UL), "4000000000");
  EXPECT_EQ(Orvek::getLabel(18446744073709551615UL), "18446744073709551615");
  EXPECT_EQ(Orvek::getLabel(1.25), "1.25");
  EXPECT_EQ(Orvek::getLabel(std::string("net")), "net");
  EXPECT_EQ(Orvek::getLabel("net"), "net");
  EXPECT_EQ(Orvek::getLabel(static_cast<const char*>(nullptr)), "null");
  const Sample sample(5);
  EXPECT_EQ(Orvek::getLabel(sample), "<Sample 5>");
  EXPECT_EQ(Orvek::getLabel(&sample), "<Sample 5>");
  EXPECT_EQ(Orvek::getLabel(static_cast<Sample*>(nullptr)), "null");
  EXPECT_EQ(Orvek::getLabel(std::vector<int>{1, 2}), "{2}");
  EXPECT_EQ(Orvek::getLabel(std::make_pair(std::string("a"), 3)), "a => 3");
}

TEST(Text, FormattedBreaksBetweenWordsAndPads) {
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 12, -1), "Setup slack ");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 12, 1), " Setup slack");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 14, 0), " Setup slack  ");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 11, 0), "Setup slack");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 7, 0), " Setup \n slack ");
  EXPECT_EQ(Orvek::getFormatted("Data  arrival time", 12, -1), "Data arrival\ntime        ");
  EXPECT_EQ(Orvek::getFormatted("a Propagation b", 4, 1), "   a\nPropagation\n   b");
  EXPECT_EQ(Orvek::getFormatted("", 3, 0), "   ");
  EXPECT_EQ(Orvek::getFormatted("x", 0, 0), "x");
}

TEST(Text, AlphaLessOrdersDigitRunsAsNumbers) {
  std::vector<std::string> names = {"u10/q", "u9/q", "clk",   "u10/d", "u009/a", "b",  "B",
                                    "u9",    "a2b3", "a2b10", "a10",   "a02",    "x0", "x"};
  std::sort(names.begin(), names.end(), Orvek::AlphaLess());
  EXPECT_EQ(names, (std::vector<std::string>{"B", "a02", "a2b3", "a2b10", "a10", "b", "clk", "u9",
                                             "u009/a", "u9/q", "u10/d", "u10/q", "x", "x0"}));
  // Equal numbers with different zeros are still distinct names.
  std::set<std::string, Orvek::AlphaLess> unique = {"n1", "n01", "n001", "n1"};
  EXPECT_EQ(unique.size(), 3u);
}

// The natural order read from the start of both names, a digit run at a
// time: the definition the comparison must keep.
bool alphaLessFromTheStart(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t si = i, sj = j;
      while (si < a.size() && a[si] == '0') ++si;
      while (sj < b.size() && b[sj] == '0') ++sj;
      std::size_t ei = si, ej = sj;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      if (int c = a.compare(si, ei - si, b, sj, ej - sj); c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size() && i == a.size();
  return a < b;
}

TEST(Text, AlphaLessAgreesWithItsDefinitionOnRandomNames) {
  std::mt19937 random(7);
  const std::string alphabet = "ab/009\xe9";
  const auto name = [&] {
    std::string text(random() % 9, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 200000; ++round) {
    std::string a = name(), b = random() % 2 ? name() : a;
    // Shared prefixes make the comparison start late.
    if (random() % 2) b = a.substr(0, random() % (a.size() + 1)) + b;
    ASSERT_EQ(Orvek::isAlphaLess(a, b), alphaLessFromTheStart(a, b)) << a << " / " << b;
  }
}

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
TEST(Text, AlphaOrderSortsAsTheNaturalComparison) {
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
    // Any part of the names comes in the order the whole gives it, ties
    // under the natural comparison included: selections are sorted alone.
    std::vector<std::string_view> part;
    for (std::size_t i = 0; i < views.size(); i += 3) part.push_back(views[i]);
    std::vector<std::string_view> partSorted;
    for (std::size_t position : Orvek::getAlphaOrder(part)) partSorted.push_back(part[position]);
    std::vector<std::string_view> wholeSorted;
    for (std::size_t position : Orvek::getAlphaOrder(views))
      if (position % 3 == 0) wholeSorted.push_back(views[position]);
    ASSERT_EQ(partSorted, wholeSorted) << "round " << round;
  }
  EXPECT_TRUE(Orvek::getAlphaOrder({}).empty());
}
