#include <Morva/Analyzer.h>
#include <Morva/CPath.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Morva/Pole.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

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

const std::vector<std::string> kCPathSlots = {"Flag1",   "Flag2",   "Flag3",   "Flag4",
                                              "Flag5",   "Flag6",   "Stamp",   "Alias",
                                              "Sources", "Targets", "Bridges", "Mask"};

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

  // A view of poles kept alive by the fixture.
  Poles poles(std::vector<Pole*> members) {
    _kept.push_back(std::make_unique<std::vector<Pole*>>(std::move(members)));
    return Orvek::VectorCollection<Pole*>(*_kept.back());
  }

  // Expects `call` to fail without leaving anything behind.
  template <class E>
  void expectRejected(const std::function<void()>& call, const std::string& file,
                      const std::string& message) {
    const unsigned long stamp = Object::_defaultStamp;
    const unsigned long count = Morva::analyzer->getCPathCount();
    const bool stale = Morva::analyzer->needReset();
    Support::expectRaise<E>(call, file, "preCreate", message);
    EXPECT_EQ(Object::_defaultStamp, stamp) << message;
    EXPECT_EQ(Morva::analyzer->getCPathCount(), count) << message;
    EXPECT_EQ(Morva::analyzer->needReset(), stale) << message;
  }

  Pole* in = nullptr;
  Pole* mid = nullptr;
  Pole* out = nullptr;
  Pole* clk = nullptr;

 private:
  unsigned long _default = 0;
  std::vector<std::unique_ptr<std::vector<Pole*>>> _kept;
};

}  // namespace

TEST_F(CPathTest, DelayPathChecksInOrder) {
  using IR = Orvek::InvalidRequest;
  const std::string file = "lib/Morva/DPath";
  const Delay undefined = Delay::getUndefined();
  expectRejected<IR>([&] { DPath::createMaximum(Poles(), poles({mid}), Poles(), Delay(10)); }, file,
                     "Empty sources");
  expectRejected<IR>([&] { DPath::createMinimum(Poles(), poles({mid}), poles({out}), undefined); },
                     file, "Empty sources");
  expectRejected<IR>([&] { DPath::createMaximum(poles({in}), poles({mid}), Poles(), undefined); },
                     file, "Empty targets");
  // mid has an incoming edge and is no clock pole.
  expectRejected<IR>(
      [&] {
        DPath::createMaximum(poles({in, mid}), Poles(), poles({mid}), undefined);
      },
      file, "Invalid source");
  expectRejected<IR>(
      [&] {
        DPath::createMinimum(poles({in}), Poles(), poles({out, mid}), undefined);
      },
      file, "Invalid target");
  expectRejected<Orvek::FactoryFailed>(
      [&] { DPath::createMaximum(poles({in}), Poles(), poles({out}), undefined); }, file,
      "Undefined delay");

  // A clock pole with incoming edges is a valid source.
  DPath* path = DPath::createMaximum(poles({clk, in}), Poles(), poles({out}), Delay(1500));
  EXPECT_TRUE(path->isMaximum());
  EXPECT_EQ(int(path->getDelay()), 1500);
  EXPECT_EQ(int(path->getMaxdelay()), 1500);
  try {
    path->getMindelay();
    ADD_FAILURE() << "getMindelay of a maximum delay path";
  } catch (const Orvek::InvalidRequest& exception) {
    EXPECT_EQ(exception.getMessage(), "Invalid mindelay");
    EXPECT_EQ(exception.getFile(), file);
    EXPECT_EQ(exception.getOperation(), "getMindelay");
  }
  DPath* minimum = DPath::createMinimum(poles({in}), Poles(), poles({out}), Delay(-20));
  EXPECT_FALSE(minimum->isMaximum());
  EXPECT_EQ(int(minimum->getMindelay()), -20);
  try {
    minimum->getMaxdelay();
    ADD_FAILURE() << "getMaxdelay of a minimum delay path";
  } catch (const Orvek::InvalidRequest& exception) {
    EXPECT_EQ(exception.getMessage(), "Invalid maxdelay");
    EXPECT_EQ(exception.getFile(), file);
    EXPECT_EQ(exception.getOperation(), "getMaxdelay");
  }
  EXPECT_EQ(Support::toVector(Morva::analyzer->getMaxdelayPaths().getFirst()->getSources()),
            (std::vector<Pole*>{in, clk}));
  EXPECT_EQ(Morva::analyzer->getMindelayPaths().getFirst(), minimum);
}

TEST_F(CPathTest, MulticyclePathChecksInOrder) {
  const std::string file = "lib/Morva/MPath";
  expectRejected<Orvek::InvalidRequest>(
      [&] { MPath::create(Poles(), poles({mid}), poles({out}), 0); }, file, "Empty sources");
  expectRejected<Orvek::InvalidRequest>(
      [&] { MPath::create(poles({mid}), poles({mid}), Poles(), 1); }, file, "Empty targets");
  // The graph position of the poles does not matter to a multicycle path.
  expectRejected<Orvek::FactoryFailed>(
      [&] { MPath::create(poles({mid}), Poles(), poles({mid}), 1); }, file,
      "Too small cycle count");
  expectRejected<Orvek::FactoryFailed>(
      [&] { MPath::create(poles({in}), Poles(), poles({out}), 0); }, file, "Too small cycle count");
  MPath* path = MPath::create(poles({mid}), Poles(), poles({mid}), 2);
  EXPECT_EQ(path->getCycleCount(), 2UL);
  EXPECT_EQ(Morva::analyzer->getMulticyclePaths().getFirst(), path);
}

TEST_F(CPathTest, InsulatedPathsAndMaskMembership) {
  FPath* bridges = FPath::create(Poles(), poles({mid}), Poles());
  FPath* sources = FPath::create(poles({in, in}), Poles(), Poles());
  FPath* targets = FPath::create(Poles(), Poles(), poles({out}));
  FPath* two = FPath::create(poles({in}), Poles(), poles({out}));
  FPath* three = FPath::create(poles({in}), poles({mid}), poles({out}));
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

TEST_F(CPathTest, PolesInGroupOrder) {
  Object::setRequiredStamp(900);
  Pole* late = Pole::createMain("late");
  Object::setRequiredStamp(800);
  Pole* early = Pole::createMain("early");
  FPath* path = FPath::create(poles({late, in, early, in}), poles({mid, in}), poles({in, out}));
  EXPECT_EQ(Support::toVector(path->getSources()), (std::vector<Pole*>{in, early, late}));
  EXPECT_EQ(Support::toVector(path->getBridges()), (std::vector<Pole*>{in, mid}));
  EXPECT_EQ(Support::toVector(path->getTargets()), (std::vector<Pole*>{in, out}));
  EXPECT_EQ(Support::toVector(path->getPoles()),
            (std::vector<Pole*>{in, early, late, in, mid, in, out}));
  EXPECT_EQ(path->getSourceSet().size(), 3UL);

  // The path keeps its own copy of the groups.
  std::vector<Pole*> members{out};
  FPath* copied = FPath::create(Orvek::VectorCollection<Pole*>(members), Poles(), Poles());
  members[0] = in;
  EXPECT_EQ(Support::toVector(copied->getSources()), std::vector<Pole*>{out});
}

TEST_F(CPathTest, ValidateCombinesOpeningAndClosingMasks) {
  Pole* other = Pole::createMain("other");
  FPath* first = FPath::create(poles({in}), poles({mid}), poles({out}));
  FPath* second = FPath::create(poles({in, other}), Poles(), poles({mid}));
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
