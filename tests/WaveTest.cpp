#include <Morva/Delay.h>
#include <Morva/Wave.h>
#include <Orvek/Debug.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Morva::Delay;
using Morva::Wave;

namespace {
const Delay kUndefined = Delay::getUndefined();
const Delay kMinimum = Delay::getMinimum();
const Delay kMaximum = Delay::getMaximum();
}  // namespace

TEST(WaveTest, Construction) {
  Wave wave("clk", 10000);
  EXPECT_EQ(wave.getName(), "clk");
  EXPECT_EQ(int(wave.getPeriod()), 10000);
  EXPECT_EQ(int(wave.getRising()), 0);
  EXPECT_EQ(int(wave.getFalling()), 5000);
  EXPECT_EQ(int(wave.getHighWidth()), 5000);
  EXPECT_EQ(int(wave.getLowWidth()), 5000);
  EXPECT_EQ(wave.getDutyRatio(), 50L);
  EXPECT_TRUE(wave.isAvailable());
  EXPECT_EQ(wave._getLabel(), "(clk, 10.000ns, [0ps, 5.000ns])");

  Wave odd("odd", 7, 1);
  EXPECT_EQ(int(odd.getFalling()), 4);
  EXPECT_EQ(Wave("neg", -7, 0).getFalling(), Delay(-3));

  Wave none;
  EXPECT_FALSE(none.isDefined());
  EXPECT_FALSE(none.isAvailable());
  EXPECT_EQ(none._getLabel(), "(UNDEFINED)");
  EXPECT_EQ(int(none.getRising()), 0);
  EXPECT_EQ(none.getPeriod(), kUndefined);
  EXPECT_EQ(none.getFalling(), kUndefined);
  EXPECT_FALSE(Wave("clk", kUndefined, 0, 5).isDefined());
  EXPECT_EQ(Wave("clk", kUndefined, 0, 5)._getLabel(), "(UNDEFINED)");
  EXPECT_TRUE(Wave("clk", kMinimum, 0, 5).isDefined());
}

TEST(WaveTest, Availability) {
  EXPECT_TRUE(Wave("clk", 100, 30, 129).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 20, 20).isAvailable());
  EXPECT_TRUE(Wave("clk", 100, 20, 20).isDefined());
  EXPECT_FALSE(Wave("clk", 100, -10, 20).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 0, 100).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, 30, 10).isAvailable());
  EXPECT_FALSE(Wave("clk", 100, kMinimum, kMaximum).isAvailable());
}

TEST(WaveTest, DerivedQuantities) {
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

TEST(WaveTest, EqualityAndOrder) {
  EXPECT_EQ(Wave("clk", 100), Wave("clk", 100, 0, 50));
  EXPECT_NE(Wave("clk", 100), Wave("clk", 100, 0, 51));
  EXPECT_NE(Wave("clk", 100), Wave("Clk", 100));

  EXPECT_TRUE(Wave("clk", 100, 10, 90) < Wave("clk", 100, 20, 30));
  EXPECT_FALSE(Wave("clk", 100, 20, 30) < Wave("clk", 100, 10, 90));
  EXPECT_TRUE(Wave("clk", 100, 10, 30) < Wave("clk", 100, 10, 40));
  EXPECT_TRUE(Wave("clk", kMinimum) < Wave("clk", 5));
  EXPECT_TRUE(Wave("clk", 5, 0, 100) < Wave("clk", 6, 0, 1));
  // Different names compare by name alone, digits as numbers.
  EXPECT_TRUE(Wave("clk2", 900) < Wave("clk10", 100));
  EXPECT_FALSE(Wave("clk10", 100) < Wave("clk2", 900));
}
