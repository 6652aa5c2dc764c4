#include <Morva/DomainMask.h>
#include <Morva/Mask.h>
#include <Morva/Tape.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <functional>
#include <memory>
#include <vector>

using Morva::DomainMask;
using Morva::Mask;
using Morva::Tape;

namespace {

constexpr unsigned long kInvalid = 18446744073709551615UL;

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

TEST(Mask, InterningNumbersLabelsAndRecords) {
  Mask::reset(4);
  EXPECT_EQ(Mask()._getLabel(), "MASK[0]:[0000]");
  const Mask first = Mask::getBasic(1);
  const Mask last = Mask::getBasic(4);
  EXPECT_EQ(first._getLabel(), "MASK[1]:[1000]");
  EXPECT_EQ(last._getLabel(), "MASK[2]:[0001]");
  const Mask both = first | last;
  EXPECT_EQ(both._getLabel(), "MASK[3]:[1001]");
  EXPECT_EQ((last | first).getNumber(), 3u);
  EXPECT_EQ(Mask(both.getTape()).getNumber(), 3u);
  EXPECT_EQ((Mask::getBasic(2) & Mask::getBasic(3)).getNumber(), 0u);
  EXPECT_EQ(Mask::_defaultNumber, 5u);
  EXPECT_EQ(Mask::_tapeMap.size() + Mask::_numberMap.size(), 12u);

  Mask mask = first;
  (mask |= last) ^= first;
  EXPECT_EQ(mask, last);
  // The complement flips spare bits too: another tape than the same
  // pattern built from basic masks.
  const Mask complement = ~first;
  const Mask others = Mask::getBasic(2) | Mask::getBasic(3) | Mask::getBasic(4);
  EXPECT_EQ(complement.getTape().getPattern(false), others.getTape().getPattern(false));
  EXPECT_NE(complement, others);
  EXPECT_EQ(~complement, first);
  EXPECT_TRUE(Mask() < first && first < both && both < Mask(1000UL));

  std::unique_ptr<Orvek::Record> record(both._getRecord());
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->getSlots().size(), 2u);
  EXPECT_EQ(record->getHeaders(), std::vector<std::string>{"Mask"});
  EXPECT_EQ(record->getSlots()[0]->getDataLabel() + " " + record->getSlots()[1]->getDataLabel(),
            "TAPE[4]:1001 3");
}

TEST(Mask, InvalidMasksActAsEmpty) {
  Mask::reset(4);
  const Mask invalid(1000UL);
  EXPECT_EQ(invalid.getNumber(), kInvalid);
  EXPECT_EQ(invalid._getLabel(), "MASK[invalid]");
  EXPECT_EQ(invalid._getRecord(), nullptr);
  EXPECT_EQ(&invalid.getTape(), &Mask::_defaultTape);
  EXPECT_FALSE(Mask(Tape()).isValid());
  EXPECT_EQ(Mask(Tape(5, true)).getNumber(), kInvalid);
  EXPECT_EQ(Mask::_tapeMap.size(), 1u);
  EXPECT_EQ(~invalid, ~Mask());
  Mask compound = invalid;
  compound |= Mask();
  EXPECT_TRUE(compound.isValid() && compound.getNumber() == 0);
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

TEST(Mask, BasicMasksAndGenerations) {
  Mask::reset(4);
  Support::expectRaise<Orvek::InvalidRequest>([] { Mask::getBasic(0); }, "lib/Morva/Mask",
                                              "getBasic", "Null bit");
  Support::expectRaise<Orvek::InvalidRequest>([] { Mask::getBasic(5); }, "lib/Morva/Mask",
                                              "getBasic", "Rejected bit");
  const Mask kept = Mask::getBasic(2);

  Mask::reset(6);
  EXPECT_EQ(Mask::_tapeMap.size() + Mask::_numberMap.size() + Mask::_defaultNumber, 2u);
  EXPECT_EQ(Mask::_defaultTape, Tape(6, false));
  EXPECT_EQ(kept._getLabel(), "MASK[invalid]");
  EXPECT_FALSE(Mask(Tape(4, false)).isValid());
  EXPECT_EQ(Mask::getBasic(6).getNumber(), 1u);
  // The kept number now names a set of the new generation.
  EXPECT_EQ(kept._getLabel(), "MASK[1]:[000001]");

  Mask::clear();
  EXPECT_EQ(Mask()._getLabel(), "MASK[0]:[]");
  Support::expectRaise<Orvek::InvalidRequest>([] { Mask::getBasic(1); }, "lib/Morva/Mask",
                                              "getBasic", "Rejected bit");
}

TEST(DomainMask, TablesAreIndependentFromMask) {
  Mask::reset(4);
  const Mask mask = Mask::getBasic(1) | Mask::getBasic(2);
  DomainMask::reset(2);
  const DomainMask second = DomainMask::getBasic(2);
  EXPECT_EQ(second._getLabel(), "DOMAIN-MASK[1]:[01]");
  EXPECT_EQ((second | DomainMask::getBasic(1))._getLabel(), "DOMAIN-MASK[3]:[11]");
  EXPECT_EQ(DomainMask(4UL)._getLabel(), "DOMAIN-MASK[invalid]");
  EXPECT_EQ(mask._getLabel(), "MASK[3]:[1100]");
  EXPECT_EQ(Mask::_defaultNumber, 3u);
  Support::expectRaise<Orvek::InvalidRequest>([] { DomainMask::getBasic(0); },
                                              "lib/Morva/DomainMask", "getBasic", "Null bit");
  Support::expectRaise<Orvek::InvalidRequest>([] { DomainMask::getBasic(3); },
                                              "lib/Morva/DomainMask", "getBasic", "Rejected bit");
  std::unique_ptr<Orvek::Record> record(second._getRecord());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->getHeaders(), std::vector<std::string>{"DomainMask"});

  Mask::clear();
  EXPECT_EQ(DomainMask(3UL)._getLabel(), "DOMAIN-MASK[3]:[11]");
}
