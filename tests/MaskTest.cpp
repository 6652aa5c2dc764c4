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
