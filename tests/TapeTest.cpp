#include <Morva/Tape.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <functional>
#include <memory>
#include <vector>

using Morva::Tape;

namespace {

using Bytes = std::vector<unsigned char>;

Tape makeTape(unsigned long bitCount, std::initializer_list<unsigned long> bits) {
  Tape tape(bitCount, false);
  for (unsigned long bit : bits) tape[bit] = true;
  return tape;
}

}  // namespace

TEST(Tape, BitProxyAndIndexChecks) {
  Tape tape(9, false);
  tape[7] = true;
  EXPECT_EQ(tape.getBytes(), (Bytes{0, 1}));
  // Assigning a bit copies its value; the target keeps its own place.
  tape[1] = tape[7];
  tape[7] = false;
  EXPECT_EQ(tape.getPattern(false), "010000000");
  EXPECT_EQ(tape[1]._getLabel(), "1");

  const Tape& constant = tape;
  EXPECT_FALSE(constant[8]);
  Support::expectRaise<Orvek::InvalidRequest>([&] { (void)constant[9]; }, "lib/Morva/Tape",
                                              "operator[]", "Index out of range");
  Support::expectRaise<Orvek::InvalidRequest>([&] { tape[9] = true; }, "lib/Morva/Tape",
                                              "operator[]", "Index out of range");
}

TEST(Tape, BitwiseOperationsAndComparisons) {
  Tape tape = makeTape(9, {0, 1, 8});
  tape &= makeTape(9, {1, 2, 8});
  tape |= makeTape(9, {3});
  tape ^= makeTape(9, {1, 4});
  EXPECT_EQ(tape.getBytes(), (Bytes{24, 2}));
  const Tape other(8, false);
  const std::vector<std::pair<std::string, std::function<void()>>> mismatches{
      {"operator&=", [&] { tape &= other; }},
      {"operator|=", [&] { tape |= other; }},
      {"operator^=", [&] { tape ^= other; }},
      {"operator==", [&] { (void)(tape == other); }},
      {"operator!=", [&] { (void)(tape != other); }},
      {"operator<", [&] { (void)(tape < other); }}};
  for (const auto& [operation, call] : mismatches)
    Support::expectRaise<Orvek::InvalidRequest>(call, "lib/Morva/Tape", operation,
                                                "Incompatible tape");

  // Bytes compare as signed values: a byte with its spare bit set is negative.
  const Tape blank(7, false);
  EXPECT_TRUE(~blank < blank);
  EXPECT_FALSE(blank < ~blank);
  // The first differing byte decides, from byte 0 upward.
  EXPECT_TRUE(makeTape(14, {7, 8, 9}) < makeTape(14, {0}));
  EXPECT_TRUE(makeTape(14, {0}) < makeTape(14, {0, 13}));
  EXPECT_FALSE(makeTape(14, {3}) < makeTape(14, {3}));
  EXPECT_FALSE(Tape() < Tape());

  // A tape converts to true when blank.
  EXPECT_TRUE(static_cast<bool>(blank) && static_cast<bool>(Tape()));
  EXPECT_FALSE(static_cast<bool>(makeTape(7, {6})));
  EXPECT_FALSE(static_cast<bool>(~blank));
}

TEST(Tape, Shifts) {
  Tape tape = makeTape(10, {2, 6, 9});
  tape <<= 1;
  EXPECT_EQ(tape, makeTape(10, {3, 7}));
  tape >>= 2;
  EXPECT_EQ(tape, makeTape(10, {1, 5}));
  for (unsigned long shift : {10UL, 11UL, ~0UL}) {
    Tape left = makeTape(10, {0, 9});
    Tape right = left;
    left <<= shift;
    right >>= shift;
    EXPECT_TRUE(static_cast<bool>(left) && static_cast<bool>(right)) << shift;
  }
  // A null shift keeps the spare bits; any other rebuilds them clear.
  Tape full = ~Tape(10, false);
  full <<= 0;
  EXPECT_EQ(full, ~Tape(10, false));
  full >>= 1;
  EXPECT_EQ(full.getBytes(), (Bytes{127, 3}));
}
