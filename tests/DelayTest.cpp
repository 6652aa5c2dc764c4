#include <Morva/Delay.h>
#include <Morva/Frequency.h>
#include <Morva/Timing.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <climits>
#include <functional>
#include <memory>
#include <string>

using Morva::Delay;
using Morva::Frequency;
using Morva::Timing;

namespace {

const Delay kUndefined = Delay::getUndefined();
const Delay kMinimum = Delay::getMinimum();
const Delay kMaximum = Delay::getMaximum();
const Delay kEpsilon = Delay::getEpsilon();

}  // namespace

TEST(DelayTest, CodesAndOrder) {
  EXPECT_EQ(int(Delay()), INT_MIN);
  EXPECT_EQ(int(kMinimum), INT_MIN + 1);
  EXPECT_EQ(Delay(2147483647), kMaximum);
  EXPECT_TRUE(kUndefined < kMinimum);
  EXPECT_TRUE(kMinimum < Delay(-2147483646));
  EXPECT_FALSE(kMinimum == kUndefined);
  // Mixed comparisons with plain encodings.
  EXPECT_TRUE(Delay(5) == 5);
  EXPECT_TRUE(Delay(-1) < 0);
}

TEST(DelayTest, UndefinedArithmetic) {
  EXPECT_EQ(kUndefined + kMaximum, kUndefined);
  EXPECT_EQ(kMaximum + kUndefined, kUndefined);
  EXPECT_EQ(kUndefined - kUndefined, kUndefined);
  Delay delay(12);
  delay -= kUndefined;
  EXPECT_EQ(delay, kUndefined);
}

TEST(DelayTest, BoundedArithmetic) {
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

TEST(DelayTest, Negation) {
  EXPECT_EQ(-kMinimum, kMaximum);
  EXPECT_EQ(-kMaximum, kMinimum);
  EXPECT_EQ(-kUndefined, kUndefined);
}

TEST(DelayTest, Labels) {
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

TEST(DelayTest, Frequency) {
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

TEST(TimingTest, LabelsAndPredicates) {
  EXPECT_EQ(Timing(), Timing::getUndefined());
  EXPECT_EQ(Timing(5, 9)._getLabel(), "[5ps:9ps]");
  EXPECT_EQ(Timing(120, 1500)._getLabel(), "[120ps:1.500ns]");
  EXPECT_EQ(Timing(kMinimum, 35)._getLabel(), "[minimum:35ps]");
  EXPECT_EQ(Timing::getMinimum()._getLabel(), "[minimum]");
  EXPECT_EQ(Timing::getMaximum()._getLabel(), "[maximum]");

  Timing half(5, kUndefined);
  EXPECT_TRUE(half.isUndefined());
  EXPECT_EQ(half._getLabel(), "[undefined]");
  EXPECT_FALSE(Timing(kMinimum, kMaximum).isMinimum());
  EXPECT_FALSE(Timing(kMinimum, kMaximum).isMaximum());
}

TEST(TimingTest, Combine) {
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

TEST(TimingTest, WrappingArithmeticAndOrder) {
  EXPECT_EQ(Timing(1, 2) + Timing(10, 20), Timing(11, 22));
  // Codes are plain integers here and wrap modulo 2^32.
  EXPECT_EQ(Timing(kUndefined, kMaximum) + Timing(5, 1), Timing(-2147483643, kUndefined));
  EXPECT_EQ(Timing(kMinimum, 0) - Timing(2, kMinimum), Timing(kMaximum, kMaximum));
  EXPECT_EQ(-Timing(3, -7), Timing(-3, 7));
  EXPECT_EQ(-Timing::getUndefined(), Timing::getUndefined());
  EXPECT_EQ(-Timing::getMinimum(), Timing::getMaximum());

  Timing timing(kMaximum, 100);
  timing += Timing(1, -100);
  EXPECT_EQ(timing, Timing(kUndefined, 0));
  timing -= Timing(1, 1);
  EXPECT_EQ(timing, Timing(kMaximum, -1));

  EXPECT_TRUE(Timing(1, 2) < Timing(1, 3));
  EXPECT_FALSE(Timing(2, 0) < Timing(1, 9));
  EXPECT_TRUE(Timing(kUndefined, kMaximum) < Timing(kMinimum, kUndefined));
}
