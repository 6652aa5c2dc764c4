#include <Morva/CPath.h>
#include <Morva/DPath.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Orvek/Record.h>

#include "Support.h"

using Morva::CPath;
using Morva::Delay;
using Morva::DPath;
using Morva::Edge;
using Morva::FPath;
using Morva::Mask;
using Morva::Mode;
using Morva::MPath;
using Morva::Object;
using Morva::Pole;
using Morva::Poles;

namespace {

// A small graph: in -> mid -> out, with a clock pole clk fed by in.
class CPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _default = Object::_defaultStamp;
    Morva::Analyzer::create();
    Mask::reset(4);
    in = Pole::createMain("in");
    mid = Pole::createMain("mid");
    out = Pole::createMain("out");
    clk = Pole::createMain("clk");
    clk->setMode(Mode(Mode::Rising));
    Edge::createInterconnect(in, mid);
    Edge::createIOPath(mid, out);
    Edge::createInterconnect(in, clk);
  }
  void TearDown() override {
    if (Morva::analyzer) Morva::analyzer->destroy();
    Object::setRequiredStamp(0);
    Object::setDefaultStamp(_default);
  }

  Pole* in = nullptr;
  Pole* mid = nullptr;
  Pole* out = nullptr;
  Pole* clk = nullptr;

 private:
  unsigned long _default = 0;
};

}  // namespace

TEST_F(CPathTest, InsulatedPathsAndMaskMembership) {
  FPath* bridges = FPath::create(Poles(), Support::view({mid}), Poles());
  FPath* sources = FPath::create(Support::view({in, in}), Poles(), Poles());
  FPath* targets = FPath::create(Poles(), Poles(), Support::view({out}));
  FPath* two = FPath::create(Support::view({in}), Poles(), Support::view({out}));
  FPath* three = FPath::create(Support::view({in}), Support::view({mid}), Support::view({out}));
  EXPECT_TRUE(bridges->isInsulated());
  EXPECT_TRUE(sources->isInsulated());
  EXPECT_TRUE(targets->isInsulated());
  EXPECT_FALSE(two->isInsulated());
  EXPECT_FALSE(three->isInsulated());
  EXPECT_EQ(sources->getSources().getCount(), 1UL);

  // A fresh path belongs to no mask.
  const Mask one = Mask::getBasic(1);
  const Mask two_ = Mask::getBasic(2);
  const Mask three_ = Mask::getBasic(3);
  EXPECT_EQ(three->getMask(), Mask(0));
  for (const Mask& mask : {Mask(0), one, two_, one | two_ | three_, ~Mask(0)})
    EXPECT_FALSE(three->isIn(mask)) << mask._getLabel();

  three->setMask(two_);
  EXPECT_TRUE(three->isIn(two_));
  EXPECT_TRUE(three->isIn(two_ | three_));
  EXPECT_FALSE(three->isIn(one | three_));
  EXPECT_FALSE(three->isIn(Mask(0)));
  three->setMask(one | two_);
  EXPECT_TRUE(three->isIn(one));
  EXPECT_EQ(three->getMask(), one | two_);
}

TEST_F(CPathTest, ValidateCombinesOpeningAndClosingMasks) {
  Pole* other = Pole::createMain("other");
  FPath* first = FPath::create(Support::view({in}), Support::view({mid}), Support::view({out}));
  FPath* second = FPath::create(Support::view({in, other}), Poles(), Support::view({mid}));
  first->setMask(Mask::getBasic(1));
  second->setMask(Mask::getBasic(2));
  first->validate();
  second->validate();
  EXPECT_EQ(in->getOpeningMask(), Mask::getBasic(1) | Mask::getBasic(2));
  EXPECT_EQ(in->getClosingMask(), Mask(0));
  EXPECT_EQ(other->getOpeningMask(), Mask::getBasic(2));
  // A bridge gets nothing from its own path; mid closes the second one.
  EXPECT_EQ(mid->getOpeningMask(), Mask(0));
  EXPECT_EQ(mid->getClosingMask(), Mask::getBasic(2));
  EXPECT_EQ(out->getClosingMask(), Mask::getBasic(1));
  EXPECT_EQ(out->getOpeningMask(), Mask(0));
  // Validating again changes nothing.
  first->validate();
  EXPECT_EQ(in->getOpeningMask(), Mask::getBasic(1) | Mask::getBasic(2));
}
