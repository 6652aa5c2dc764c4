#include <Morva/Mask.h>
#include <Morva/Tape.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using Morva::Mask;
using Morva::Tape;

namespace {

// A tape of `bitCount` bits with each bit set with probability `density`;
// complemented tapes carry spare bits as well.
Tape makeRandomTape(std::mt19937& random, unsigned long bitCount, double density) {
  std::bernoulli_distribution set(density);
  Tape tape(bitCount, false);
  for (unsigned long bit = 0; bit < bitCount; ++bit)
    if (set(random)) tape[bit] = true;
  return std::bernoulli_distribution(0.2)(random) ? ~tape : tape;
}

Tape compacted(Tape tape) {
  tape.compact();
  return tape;
}

}  // namespace

Tape dense(Tape tape) {
  tape.getBytes();
  return tape;
}

// The compact forms must be invisible: every operation gives what the dense
// form gives, whichever form each operand is in. Large tapes go chunked
// when many bytes are set; a tape made from another shares its runs.
TEST(TapeForm, CompactTapesBehaveAsDenseOnes) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const bool large = round % 3 == 0;
    const unsigned long bitCount = large ? 7000 + random() % 9000 : 1 + random() % 300;
    const double density = std::vector<double>{0.0, 0.005, 0.05, 0.5}[random() % 4];
    const Tape a = makeRandomTape(random, bitCount, density);
    const Tape compactA = compacted(a);
    Tape b = round % 5 == 0 ? a : makeRandomTape(random, bitCount, density);
    if (round % 2 == 0) {
      // One bit more than `a`, made from its compact form.
      Tape bit(bitCount, false);
      bit[random() % bitCount] = true;
      b = compactA;
      b |= compacted(bit);
    }
    const Tape denseA = dense(a);
    const Tape denseB = dense(b);
    for (const Tape& x : {denseA, compactA}) {
      for (const Tape& y : {denseB, compacted(b), b}) {
        SCOPED_TRACE(std::to_string(round));
        EXPECT_EQ(x == y, denseA.getBytes() == denseB.getBytes());
        EXPECT_EQ(x < y, denseA < denseB);
        EXPECT_EQ(y < x, denseB < denseA);
        EXPECT_EQ(static_cast<bool>(x), static_cast<bool>(denseA));
        Tape both = x, either = x, one = x;
        both &= y;
        either |= y;
        one ^= y;
        Tape denseBoth = denseA, denseEither = denseA, denseOne = denseA;
        denseBoth &= denseB;
        denseEither |= denseB;
        denseOne ^= denseB;
        EXPECT_EQ(both.getBytes(), denseBoth.getBytes());
        EXPECT_EQ(either.getBytes(), denseEither.getBytes());
        EXPECT_EQ(one.getBytes(), denseOne.getBytes());
        EXPECT_EQ((~x).getBytes(), (~denseA).getBytes());
        EXPECT_EQ(x.getPattern(true), denseA.getPattern(true));
      }
    }
  }
}

// Masks interned from either form are one mask.
TEST(TapeForm, InterningIgnoresTheForm) {
  Mask::reset(500);
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    const Tape tape = makeRandomTape(random, 500, round % 2 ? 0.004 : 0.3);
    const Mask dense(tape);
    EXPECT_EQ(Mask(compacted(tape)).getNumber(), dense.getNumber());
    EXPECT_EQ(dense.getTape().getBytes(), tape.getBytes());
  }
  Mask::clear();
}
