#include <Morva/DPath.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Morva/Wave.h>

#include "Support.h"

using Morva::Analyzer;
using Morva::Delay;
using Morva::DPath;
using Morva::Edge;
using Morva::FPath;
using Morva::IOConstraint;
using Morva::Mask;
using Morva::Mode;
using Morva::MPath;
using Morva::Object;
using Morva::Pole;
using Morva::Type;
using Morva::Wave;

namespace {

using Support::view;

class AnalyzerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _default = Object::_defaultStamp;
    a = Analyzer::create();
    Mask::reset(4);
  }
  void TearDown() override {
    Orvek::console.setOutput(std::cout);
    if (Morva::analyzer) Morva::analyzer->destroy();
    Object::setRequiredStamp(0);
    Object::setDefaultStamp(_default);
  }

  // Console output of `call`.
  template <class Call>
  std::string captured(Call&& call) {
    Support::ConsoleCapture capture;
    call();
    return capture.text();
  }

  Analyzer* a = nullptr;

 private:
  unsigned long _default = 0;
};

}  // namespace

TEST_F(AnalyzerTest, RemoveAndResetClocks) {
  Pole* none = Pole::createMain("n");
  Pole* port = Support::port("port");
  const std::string unknown = captured([this] { a->removeClock("ghost"); });
  EXPECT_EQ(unknown, "Warning: ghost could not be matched with a clock\n");
  EXPECT_FALSE(a->needReset());

  a->createClock(none, Wave("cn", 1000));
  a->createClock(port, Wave("cp", 1000));
  a->setPeriod(none, Delay(1000));
  a->removeClock("cn");
  EXPECT_FALSE(a->hasWave(none));
  EXPECT_EQ(a->getClockNameMap().count("cn"), 0UL);
  EXPECT_EQ(none->getType().getCode(), Type::None);
  EXPECT_FALSE(none->hasWaveFlag());
  EXPECT_EQ(none->getReportName(), "n");
  EXPECT_EQ(a->getClockRoot("n"), nullptr);
  EXPECT_EQ(int(a->getPeriod(none)), 1000);
  EXPECT_TRUE(a->hasWave(port));
  EXPECT_EQ(captured([this] { a->removeClock("cn"); }),
            "Warning: cn could not be matched with a clock\n");

  a->removeClock("cp");
  EXPECT_EQ(port->getType().getCode(), Type::Primary);
  EXPECT_FALSE(port->hasWaveFlag());

  a->createClock(none, Wave("x1", 1000));
  a->createClock(port, Wave("x2", 1000));
  a->createClock(port, Wave("x3", 500));
  a->resetClocks();
  EXPECT_TRUE(a->getWaveMap().empty());
  EXPECT_TRUE(a->getClockNameMap().empty());
  EXPECT_EQ(none->getType().getCode(), Type::None);
  EXPECT_EQ(port->getType().getCode(), Type::Primary);
  EXPECT_FALSE(none->hasWaveFlag());
  EXPECT_FALSE(port->hasWaveFlag());
  EXPECT_EQ(int(a->getPeriod(none)), 1000);
}

TEST_F(AnalyzerTest, InputAndOutputConstraints) {
  Pole* clk = Support::port("clk");
  Pole* in = Support::port("in");
  Pole* out = Support::port("out");
  Pole* inner = Pole::createMain("inner");
  Edge::createInterconnect(inner, out);
  const IOConstraint defined(clk, Mode(Mode::Falling), Delay(100), Delay(200));
  const IOConstraint undefined(clk, Mode(Mode::Rising), Delay(100), Delay::getUndefined());

  EXPECT_FALSE(a->hasInputConstraint(in));
  a->setInputConstraint(in, defined);
  EXPECT_TRUE(a->hasInputConstraint(in));

  a->setOutputConstraint(out, defined);
  EXPECT_FALSE(a->needReset());

  // The has-forms check the port and copy only what they find.
  IOConstraint copy;
  EXPECT_TRUE(a->hasInputConstraint(in, copy));
  EXPECT_EQ(copy, defined);
  IOConstraint untouched(in, Mode(Mode::None), Delay(1), Delay(2));
  const IOConstraint before = untouched;
  EXPECT_FALSE(a->hasInputConstraint(clk, untouched));
  EXPECT_EQ(untouched, before);
  EXPECT_TRUE(a->hasOutputConstraint(out, untouched));
  EXPECT_EQ(untouched, defined);

  // The get-forms never fail and fall back to one undefined constraint.
  EXPECT_EQ(a->getInputConstraint(in), defined);
  EXPECT_EQ(a->getOutputConstraint(out), defined);
  const IOConstraint& fallback = a->getInputConstraint(nullptr);
  EXPECT_FALSE(fallback.isDefined());
  EXPECT_EQ(fallback, IOConstraint());
  EXPECT_EQ(&a->getInputConstraint(clk), &fallback);
  EXPECT_EQ(&a->getInputConstraint(inner), &fallback);
  EXPECT_FALSE(a->getOutputConstraint(nullptr).isDefined());
  EXPECT_FALSE(a->getOutputConstraint(in).isDefined());
  // A port that stops being an input no longer shows its constraint.
  Edge::createInterconnect(inner, in);
  EXPECT_FALSE(a->getInputConstraint(in).isDefined());
}

TEST_F(AnalyzerTest, IOConstraintValues) {
  Object::setRequiredStamp(2);
  Pole* early = Pole::createMain("early");
  Object::setRequiredStamp(3);
  Pole* clk = Pole::createMain("clk");
  clk->setMode(Mode(Mode::Rising));

  const IOConstraint none;
  EXPECT_EQ(none.getClockRoot(), nullptr);
  EXPECT_EQ(none.getMode().getCode(), Mode::Rising);
  EXPECT_EQ(none.getMinimum(), Delay::getUndefined());
  EXPECT_FALSE(none.isDefined());
  EXPECT_EQ(none._getLabel(), "(UNDEFINED)");
  EXPECT_FALSE(IOConstraint(clk, Mode(Mode::Rising), Delay(0), Delay::getUndefined()).isDefined());
  EXPECT_FALSE(IOConstraint(clk, Mode(Mode::Rising), Delay::getUndefined(), Delay(0)).isDefined());
  EXPECT_FALSE(IOConstraint(nullptr, Mode(Mode::Rising), Delay(0), Delay(0)).isDefined());

  const IOConstraint shown(clk, Mode(Mode::Rising), Delay(200), Delay(1200));
  EXPECT_TRUE(shown.isDefined());
  EXPECT_EQ(shown._getLabel(), "(CLOCK[clk],  Rising, [200ps, 1.200ns])");
  EXPECT_EQ(IOConstraint(early, Mode(Mode::Falling), Delay(-5), Delay(0))._getLabel(),
            "(POLE[early],  Falling, [-5ps, 0ps])");

  auto make = [](Pole* root, Mode::Code mode, int minimum, int maximum) {
    return IOConstraint(root, Mode(mode), Delay(minimum), Delay(maximum));
  };
  // Minimums: non-negative ones first, then negative ones, each by value.
  EXPECT_TRUE(make(clk, Mode::Rising, 5, 0) < make(clk, Mode::Rising, -3, 0));
  EXPECT_FALSE(make(clk, Mode::Rising, -3, 0) < make(clk, Mode::Rising, 5, 0));
  EXPECT_TRUE(make(clk, Mode::Rising, -7, 0) < make(clk, Mode::Rising, -3, 0));
  EXPECT_TRUE(make(clk, Mode::Rising, 3, 0) < make(clk, Mode::Rising, 5, 0));
  // Maximums compare signed.
  EXPECT_TRUE(make(clk, Mode::Rising, 1, -9) < make(clk, Mode::Rising, 1, 4));
  EXPECT_FALSE(make(clk, Mode::Rising, 1, 4) < make(clk, Mode::Rising, 1, 4));
  // The mode code decides before the delays, the clock root's stamp first.
  EXPECT_TRUE(make(clk, Mode::Rising, 100, 100) < make(clk, Mode::Falling, 0, 0));
  EXPECT_TRUE(make(clk, Mode::None, 100, 100) < make(clk, Mode::Rising, 0, 0));
  EXPECT_TRUE(make(early, Mode::Falling, 100, 100) < make(clk, Mode::None, 0, 0));
  EXPECT_TRUE(make(nullptr, Mode::Falling, 100, 100) < make(early, Mode::None, 0, 0));

  EXPECT_TRUE(make(clk, Mode::Rising, 1, 2) == make(clk, Mode::Rising, 1, 2));
  EXPECT_TRUE(make(clk, Mode::Rising, 1, 2) != make(clk, Mode::Falling, 1, 2));
  EXPECT_TRUE(make(clk, Mode::Rising, 1, 2) != make(early, Mode::Rising, 1, 2));
  EXPECT_TRUE(make(clk, Mode::Rising, 1, 2) != make(clk, Mode::Rising, 1, 3));
}

// The loop stack lists the newest pole first; a pole is on it from its
// push to the pop of any of its entries, and closing empties it.
TEST_F(AnalyzerTest, LoopStack) {
  Pole* p = Support::port("p");
  Pole* q = Support::port("q");
  a->loopOpen();
  EXPECT_FALSE(a->isLooping(p));
  a->loopPush(p);
  a->loopPush(q);
  a->loopPush(p);
  EXPECT_EQ(Support::toVector(a->getLoopPoles()), (std::vector<Pole*>{p, q, p}));
  EXPECT_TRUE(a->isLooping(p));
  a->loopPop();
  EXPECT_FALSE(a->isLooping(p));
  EXPECT_TRUE(a->isLooping(q));
  // A pole created after the walk began has a number beyond the others.
  Pole* late = Support::port("late");
  EXPECT_FALSE(a->isLooping(late));
  a->loopPush(late);
  EXPECT_TRUE(a->isLooping(late));
  a->loopClose();
  for (Pole* pole : {p, q, late}) EXPECT_FALSE(a->isLooping(pole));
  EXPECT_EQ(a->getLoopPoles().getCount(), 0UL);
}

TEST_F(AnalyzerTest, DestroyedPolesLeaveNoTraceInTheTables) {
  Pole* clk = Support::port("clk");
  Pole* other = Support::port("other");
  Pole* in = Support::port("in");
  Pole* out = Support::port("out");
  Pole* dual = Pole::createDual("clk");
  Edge::createInterconnect(Pole::createMain("d"), out);
  a->createClock(clk, Wave("c", 1000));
  a->createClock(other, Wave("o", 1000));
  a->setPeriod(clk, Delay(1000));
  a->createClockGroups(view({clk}), view({other}), true);
  a->createClockGroups(view({other}), view({clk}), false);
  a->setInputConstraint(in, IOConstraint(clk, Mode(Mode::Rising), Delay(1), Delay(2)));
  a->setOutputConstraint(out, IOConstraint(other, Mode(Mode::Rising), Delay(1), Delay(2)));
  a->loopOpen();
  a->loopPush(other);
  a->loopPush(clk);

  clk->destroy();
  dual->destroy();
  EXPECT_EQ(a->getClockRoot("c"), nullptr);
  EXPECT_EQ(a->getWaveMap().size(), 1UL);
  EXPECT_EQ(a->getClockNameMap().size(), 1UL);
  EXPECT_TRUE(a->getExclusivePoleSetMap().empty());
  EXPECT_TRUE(a->getAsynchronousPoleSetMap().at(other).empty());
  // The constraint whose clock root went is dropped with it.
  EXPECT_FALSE(a->hasInputConstraint(in));
  EXPECT_TRUE(a->hasOutputConstraint(out));
  EXPECT_EQ(Support::toVector(a->getLoopPoles()), std::vector<Pole*>{other});
  a->loopClose();
  EXPECT_EQ(captured([this] { a->removeClock("c"); }),
            "Warning: c could not be matched with a clock\n");

  out->destroy();
  EXPECT_TRUE(a->getOutputDelays().empty());
  other->destroy();
  EXPECT_TRUE(a->getWaveMap().empty());
  EXPECT_TRUE(a->getAsynchronousPoleSetMap().empty());
  EXPECT_EQ(a->getPoles().getCount(), 2UL);
}
