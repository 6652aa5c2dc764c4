// Values: delays, timings and frequencies, clock waves, bit tapes and the
// interned masks made of them.

#include <Morva/Delay.h>
#include <Morva/Frequency.h>
#include <Morva/Mask.h>
#include <Morva/Tape.h>
#include <Morva/Timing.h>
#include <Morva/Wave.h>

#include "Support.h"

#include <functional>

using namespace Morva;

namespace {

const Delay kUndefined = Delay::getUndefined();
const Delay kMinimum = Delay::getMinimum();
const Delay kMaximum = Delay::getMaximum();
const Delay kEpsilon = Delay::getEpsilon();

using Bytes = std::vector<unsigned char>;

Tape makeTape(unsigned long bitCount, std::initializer_list<unsigned long> bits) {
  Tape tape(bitCount, false);
  for (unsigned long bit : bits) tape[bit] = true;
  return tape;
}

// The number the tables give to the combined tapes of two masks, computed
// without the shortcuts of the mask operators.
unsigned long combineTapes(const Mask& a, const Mask& b, char operation) {
  Tape tape = a.getTape();
  if (operation == '&') tape &= b.getTape();
  if (operation == '|') tape |= b.getTape();
  if (operation == '^') tape ^= b.getTape();
  return Mask(tape).getNumber();
}

}  // namespace

TEST(Delay, UndefinedArithmetic) {
  EXPECT_EQ(kUndefined + kMaximum, kUndefined);
  EXPECT_EQ(kMaximum + kUndefined, kUndefined);
  EXPECT_EQ(kUndefined - kUndefined, kUndefined);
  Delay delay(12);
  delay -= kUndefined;
  EXPECT_EQ(delay, kUndefined);
}

TEST(Delay, BoundedArithmetic) {
  EXPECT_EQ(kMaximum + Delay::getNone(), kMaximum);
  EXPECT_EQ(int(kMinimum + kEpsilon), -2147483646);
  EXPECT_EQ(int(kMaximum - kEpsilon), 2147483646);
  EXPECT_EQ(Delay(2147483000) + Delay(647), kMaximum);
  EXPECT_EQ(Delay(-2147483000) - Delay(647), kMinimum);
  EXPECT_EQ(Delay(-2147483000) + Delay(-647), kMinimum);
  EXPECT_EQ(Delay(2147483000) - Delay(-647), kMaximum);

  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(kMaximum + kEpsilon); },
                                              "lib/Morva/Delay", "operator+", "Delay overflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(Delay(2147483000) + Delay(648)); },
                                              "lib/Morva/Delay", "operator+", "Delay overflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(kMinimum + Delay(-1)); },
                                              "lib/Morva/Delay", "operator+", "Delay underflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(kMinimum - kEpsilon); },
                                              "lib/Morva/Delay", "operator-", "Delay underflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(Delay(-2147483000) - Delay(648)); },
                                              "lib/Morva/Delay", "operator-", "Delay underflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(kMaximum - Delay(-1)); },
                                              "lib/Morva/Delay", "operator-", "Delay overflow");
  Support::expectRaise<Orvek::InvalidRequest>([] { (void)(Delay(1) - kMinimum); },
                                              "lib/Morva/Delay", "operator-", "Delay overflow");

  // A failed compound assignment leaves the delay as it was.
  Delay delay(2147483000);
  Support::expectRaise<Orvek::InvalidRequest>([&] { delay += Delay(648); }, "lib/Morva/Delay",
                                              "operator+=", "Delay overflow");
  EXPECT_EQ(int(delay), 2147483000);
  delay = Delay(-2147483000);
  Support::expectRaise<Orvek::InvalidRequest>([&] { delay -= Delay(648); }, "lib/Morva/Delay",
                                              "operator-=", "Delay underflow");
  EXPECT_EQ(int(delay), -2147483000);
}

TEST(Delay, Labels) {
  EXPECT_EQ(Delay(999)._getLabel(), "999ps");
  EXPECT_EQ(Delay(1000)._getLabel(), "1.000ns");
  EXPECT_EQ(Delay(-999)._getLabel(), "-999ps");
  EXPECT_EQ(Delay(-1000)._getLabel(), "-1.000ns");
  EXPECT_EQ(Delay(0)._getLabel(), "0ps");
  EXPECT_EQ(Delay(-1500)._getLabel(), "-1.500ns");
  EXPECT_EQ(Delay(1234567)._getLabel(), "1234.567ns");
  EXPECT_EQ(kUndefined._getLabel(), "undefined");
  EXPECT_EQ(kMinimum._getLabel(), "minimum");
  EXPECT_EQ(kMaximum._getLabel(), "maximum");
}

TEST(Delay, Frequency) {
  EXPECT_EQ((unsigned long)Delay(1000).getFrequency(), 999999999UL);
  EXPECT_EQ((unsigned long)Delay(3).getFrequency(), 333333333333UL);
  EXPECT_EQ((unsigned long)kMaximum.getFrequency(), 465UL);
  for (const Delay& period : {Delay(0), Delay(-5), kUndefined, kMinimum}) {
    EXPECT_EQ(period.getFrequency(), Frequency::getUndefined());
    EXPECT_EQ(period.getFrequency()._getLabel(), "undefined");
  }

  EXPECT_EQ(Frequency(), Frequency::getNone());
  EXPECT_EQ(Frequency(0)._getLabel(), "0Hz");
  EXPECT_EQ(Frequency(1)._getLabel(), "minimum");
  EXPECT_EQ(Frequency(999)._getLabel(), "999Hz");
  EXPECT_EQ(Frequency(1000)._getLabel(), "1.000KHz");
  EXPECT_EQ(Frequency(999999999)._getLabel(), "1000.000MHz");
  EXPECT_EQ(Frequency(1000000000)._getLabel(), "1.000GHz");
  EXPECT_EQ(Frequency(4294967294UL)._getLabel(), "maximum");
  EXPECT_EQ(Frequency(4294967296UL)._getLabel(), "4.295GHz");
}

TEST(Timing, Combine) {
  Timing timing(10, 20);
  timing.combine(Timing(kUndefined, 30));
  EXPECT_EQ(timing, Timing(10, 30));
  timing.combine(Timing(kMinimum, 5));
  EXPECT_EQ(timing, Timing(kMinimum, 30));
  timing.combine(Timing());
  EXPECT_EQ(timing, Timing(kMinimum, 30));
  timing.combine(Timing(-4, kMaximum));
  EXPECT_EQ(timing, Timing(kMinimum, kMaximum));

  Timing empty;
  empty.combine(Timing(4, 6));
  EXPECT_EQ(empty, Timing(4, 6));
  // Nothing requires minimum <= maximum: each side widens on its own.
  Timing inverted(50, 10);
  inverted.combine(Timing(60, 5));
  EXPECT_EQ(inverted, Timing(50, 10));
}

TEST(Wave, Availability) {
  EXPECT_TRUE(Wave("clk", 100, 30, 129).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 20, 20).isAvailable());
  EXPECT_TRUE(Wave("clk", 100, 20, 20).isDefined());
  EXPECT_FALSE(Wave("clk", 100, -10, 20).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 0, 100).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 30, 10).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, kMinimum, kMaximum).isAvailable());
}

TEST(Wave, DerivedQuantities) {
  Wave wave("clk", 1000, 100, 400);
  EXPECT_EQ(int(wave.getHighWidth()), 300);
  EXPECT_EQ(int(wave.getLowWidth()), 700);
  EXPECT_EQ(wave.getDutyRatio(), 30L);
  EXPECT_EQ(Wave("clk", 3, 0, 2).getDutyRatio(), 66L);
  EXPECT_EQ(Wave("clk", 3, 2, 0).getDutyRatio(), -66L);

  // A period that is not positive gives the ratio of the default waveform.
  EXPECT_EQ(Wave("clk", 0, 0, 0).getDutyRatio(), 50L);
  EXPECT_EQ(Wave("clk", -1, kMinimum, kMaximum).getDutyRatio(), 50L);
  EXPECT_EQ(Wave().getDutyRatio(), 50L);

  // Everything wraps modulo 2^32, codes included.
  Wave wide("clk", kMaximum, kMinimum, kMaximum);
  EXPECT_EQ(int(wide.getHighWidth()), -2);
  EXPECT_EQ(int(wide.getLowWidth()), -2147483647);
  EXPECT_EQ(Wave("clk", kMaximum, kMaximum).getFalling(), Delay(-1073741826));
  // The high width times 100 wraps too: 50000000 * 100 - 2^32 = 705032704.
  EXPECT_EQ(Wave("clk", 100000000, 0, 50000000).getDutyRatio(), 7L);
  EXPECT_EQ(Wave("clk", kMaximum, kMinimum, kMaximum).getDutyRatio(), 0L);
}

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

TEST(Mask, ShortcutsMatchTheTapeComputation) {
  // A number of an older generation, above all that the new one reaches.
  Mask::reset(9);
  for (unsigned long bit = 1; bit <= 9; ++bit)
    for (unsigned long other = 1; other <= 9; ++other)
      (void)(Mask::getBasic(bit) | Mask::getBasic(other));
  const Mask older(45UL);
  ASSERT_TRUE(older.isValid());

  Mask::reset(9);
  const Mask a = Mask::getBasic(1) | Mask::getBasic(8);
  const Mask b = Mask::getBasic(8) | Mask::getBasic(9);
  const std::vector<Mask> masks{Mask(),      a,    b, ~Mask::getBasic(3), Mask::getBasic(8),
                                Mask(777UL), older};
  for (const Mask& x : masks) {
    for (const Mask& y : masks) {
      const std::string pair = x._getLabel() + " " + y._getLabel();
      EXPECT_EQ((x | y).getNumber(), combineTapes(x, y, '|')) << pair;
      EXPECT_EQ((x & y).getNumber(), combineTapes(x, y, '&')) << pair;
      EXPECT_EQ((x ^ y).getNumber(), combineTapes(x, y, '^')) << pair;
    }
  }
  // Numbers only grow: the old mask stayed invalid through every case.
  EXPECT_FALSE(older.isValid());

  // As loaded, before any reset, number 0 is not in the tables: combining
  // interns the blank tape of 0 bits, which takes number 1.
  Mask::_tapeMap.clear();
  Mask::_numberMap.clear();
  Mask::_defaultNumber = 0;
  Mask::_defaultTape = Tape();
  EXPECT_EQ(Mask()._getLabel(), "MASK[invalid]");
  EXPECT_EQ((Mask() | Mask()).getNumber(), 1u);
  EXPECT_EQ((Mask() & Mask(5UL))._getLabel(), "MASK[1]:[]");
  EXPECT_FALSE(Mask(0UL).isValid());
}
