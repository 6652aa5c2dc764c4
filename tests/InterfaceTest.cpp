// The argument checks of the library's interface, as one table: each call
// must raise exactly its exception, located at its file and operation, with
// its message, and must leave nothing behind (no object made, no stamp
// used, no constrained path registered). Checks of one call run in a fixed
// order: the rows with several faults name the one found first.

#include <Morva/DPath.h>
#include <Morva/Domain.h>
#include <Morva/DomainMask.h>
#include <Morva/FPath.h>
#include <Morva/MPath.h>
#include <Morva/Mask.h>
#include <Morva/Scanner.h>
#include <Morva/Subdomain.h>

#include "Support.h"

#include <functional>

using namespace Morva;

namespace {

struct Check {
  const std::type_info& type;
  std::string file, operation, message;
  std::function<void()> call;
};

const std::type_info& kFactory = typeid(Orvek::FactoryFailed);
const std::type_info& kRequest = typeid(Orvek::InvalidRequest);

// A port in, a pin mid and a port out in a row; a register ff/CK clocked
// from in, with its dual pole; a clock domain and an input domain.
class InterfaceTest : public Support::AnalyzerFixture {
 protected:
  void SetUp() override {
    AnalyzerFixture::SetUp();
    Mask::reset(2);
    DomainMask::reset(2);
    in = Support::port("in");
    mid = Pole::createMain("mid");
    out = Support::port("out");
    ff = Pole::createMain("ff/CK");
    ff->setMode(Mode(Mode::Rising));
    Pole::createDual("ff/CK");
    Edge::createInterconnect(in, mid);
    Edge::createIOPath(mid, out);
    Edge::createInterconnect(in, ff);
    pure = Domain::create(in, in);
    input = Domain::create(nullptr, in);
    Subdomain::create(pure, Mode(Mode::Rising), Mode(Mode::Falling));
  }

  Pole *in = nullptr, *mid = nullptr, *out = nullptr, *ff = nullptr;
  Domain *pure = nullptr, *input = nullptr;
};

TEST_F(InterfaceTest, RejectedCallsRaiseTheirErrorAndLeaveNothingBehind) {
  const IOConstraint defined(in, Mode(Mode::Rising), Delay(1), Delay(2));
  const IOConstraint undefined(in, Mode(Mode::Rising), Delay(1), Delay::getUndefined());
  const Delay none = Delay::getUndefined();
  const std::string pole = "lib/Morva/Pole", edge = "lib/Morva/Edge", cpath = "lib/Morva/CPath",
                    dpath = "lib/Morva/DPath", mpath = "lib/Morva/MPath",
                    analyzerFile = "lib/Morva/Analyzer";
  const std::vector<Check> checks{
      {kFactory, analyzerFile, "preCreate", "Already exists", [] { Analyzer::create(); }},
      {kFactory, pole, "preCreateMain", "Already exists", [] { Pole::createMain("mid"); }},
      {kFactory, pole, "preCreateMain", "Empty name", [] { Pole::createMain(""); }},
      {kFactory, pole, "preCreateDual", "Empty name", [] { Pole::createDual(""); }},
      {kFactory, pole, "preCreateDual", "Already exists", [] { Pole::createDual("ff/CK"); }},
      {kFactory, edge, "preCreate", "Null source",
       [] { Edge::createInterconnect(nullptr, nullptr); }},
      {kFactory, edge, "preCreate", "Null target", [&] { Edge::createSetupHold(mid, nullptr); }},
      {kFactory, edge, "preCreate", "Identical poles",
       [&] { Edge::create(mid, mid, Purpose(Purpose::RecoveryRemoval)); }},
      // Constrained paths: empty and null groups first, then the checks of
      // each kind.
      {kFactory, cpath, "preCreate", "Empty poles",
       [] { FPath::create(Poles(), Poles(), Poles()); }},
      {kFactory, cpath, "preCreate", "Null pole",
       [&] {
         FPath::create(Poles(), Poles(), Support::view({out, nullptr}));
       }},
      {kFactory, cpath, "preCreate", "Null pole",
       [&] { DPath::createMaximum(Poles(), Support::view({nullptr}), Poles(), Delay(10)); }},
      {kFactory, cpath, "preCreate", "Empty poles",
       [] { MPath::create(Poles(), Poles(), Poles(), 0); }},
      {kRequest, dpath, "preCreate", "Empty sources",
       [&] { DPath::createMinimum(Poles(), Support::view({mid}), Support::view({out}), none); }},
      {kRequest, dpath, "preCreate", "Empty targets",
       [&] { DPath::createMaximum(Support::view({in}), Support::view({mid}), Poles(), none); }},
      // mid has an incoming edge and is no clock pole; a clock pole is a
      // valid source although driven.
      {kRequest, dpath, "preCreate", "Invalid source",
       [&] {
         DPath::createMaximum(Support::view({ff, mid}), Poles(), Support::view({mid}), none);
       }},
      {kRequest, dpath, "preCreate", "Invalid target",
       [&] {
         DPath::createMinimum(Support::view({in}), Poles(), Support::view({out, mid}), none);
       }},
      {kFactory, dpath, "preCreate", "Undefined delay",
       [&] { DPath::createMaximum(Support::view({in}), Poles(), Support::view({out}), none); }},
      {kRequest, mpath, "preCreate", "Empty sources",
       [&] { MPath::create(Poles(), Support::view({mid}), Support::view({out}), 0); }},
      {kRequest, mpath, "preCreate", "Empty targets",
       [&] { MPath::create(Support::view({mid}), Support::view({mid}), Poles(), 1); }},
      {kFactory, mpath, "preCreate", "Too small cycle count",
       [&] { MPath::create(Support::view({mid}), Poles(), Support::view({mid}), 1); }},
      // The analyzer's tables.
      {kRequest, analyzerFile, "getMainPole", "Empty name", [] { analyzer->getMainPole(""); }},
      {kRequest, analyzerFile, "getClockRoot", "Empty name", [] { analyzer->getClockRoot(""); }},
      {kRequest, analyzerFile, "getWave", "Null clock", [] { analyzer->getDutyRatio(nullptr); }},
      {kRequest, analyzerFile, "setPeriod", "Null clock",
       [] { analyzer->setPeriod(nullptr, Delay(5)); }},
      {kRequest, analyzerFile, "createClock", "Undefined wave!",
       [&] { analyzer->createClock(mid, Wave("w", none)); }},
      {kRequest, analyzerFile, "createClock", "Null name!",
       [&] { analyzer->createClock(mid, "", none, Delay(0), Delay(5)); }},
      {kRequest, analyzerFile, "createClock", "Undefined period!",
       [&] { analyzer->createClock(mid, "w", none, Delay(0), Delay(5)); }},
      {kRequest, analyzerFile, "removeClock", "Empty name", [] { analyzer->removeClock(""); }},
      {kRequest, analyzerFile, "setInputConstraint", "Null input port",
       [&] { analyzer->setInputConstraint(nullptr, defined); }},
      {kRequest, analyzerFile, "setInputConstraint", "Not an input port",
       [&] { analyzer->setInputConstraint(out, defined); }},
      {kRequest, analyzerFile, "setInputConstraint", "Undefined IOConstraint",
       [&] { analyzer->setInputConstraint(in, undefined); }},
      {kRequest, analyzerFile, "setOutputConstraint", "Not an output port",
       [&] { analyzer->setOutputConstraint(in, defined); }},
      {kRequest, analyzerFile, "hasOutputConstraint", "Null output port",
       [] { analyzer->hasOutputConstraint(nullptr); }},
      {kRequest, analyzerFile, "loopClose", "Not opened", [] { analyzer->loopClose(); }},
      {kRequest, analyzerFile, "loopPop", "Empty stack", [] { analyzer->loopPop(); }},
      {kRequest, analyzerFile, "loopPush", "Null pole", [] { analyzer->loopPush(nullptr); }},
      {kRequest, analyzerFile, "isExclusive", "Null domain",
       [] { analyzer->isExclusive(nullptr); }},
      {kRequest, analyzerFile, "isAsynchronous", "Null domain",
       [] { analyzer->isAsynchronous(nullptr); }},
      // Masks, subdomains and scanners.
      {kRequest, "lib/Morva/Mask", "getBasic", "Null bit", [] { Mask::getBasic(0); }},
      {kRequest, "lib/Morva/Mask", "getBasic", "Rejected bit", [] { Mask::getBasic(3); }},
      {kRequest, "lib/Morva/DomainMask", "getBasic", "Rejected bit",
       [] { DomainMask::getBasic(3); }},
      {kRequest, "lib/Morva/Subdomain", "getName", "Rejected clock mode",
       [&] { Subdomain::getName(input, Mode(Mode::Rising), Mode(Mode::Rising)); }},
      {kRequest, "lib/Morva/Subdomain", "getName", "Rejected clock mode",
       [&] { Subdomain::getName(pure, Mode(Mode::Rising), Mode(Mode::None)); }},
      {kFactory, "lib/Morva/Subdomain", "preCreate", "Already exists",
       [&] { Subdomain::create(pure, Mode(Mode::Rising), Mode(Mode::Falling)); }},
      {kFactory, "lib/Morva/Subdomain", "preCreate", "Null domain",
       [] { Subdomain::create(nullptr, Mode(Mode::Rising), Mode(Mode::Falling)); }},
      {kFactory, "lib/Morva/Scanner", "preCreate", "Null subdomain",
       [] { Scanner::create(nullptr); }},
  };
  for (const Check& check : checks) {
    SCOPED_TRACE(check.operation + ": " + check.message);
    const unsigned long stamp = Object::_defaultStamp;
    const std::size_t poleCount = analyzer->getPoles().getCount();
    const std::size_t edgeCount = analyzer->getEdges().getCount();
    const std::size_t pathCount = analyzer->getCPathCount();
    const bool stale = analyzer->needReset();
    try {
      check.call();
      ADD_FAILURE() << "no exception";
    } catch (const Orvek::Exception& exception) {
      EXPECT_EQ(typeid(exception), check.type);
      EXPECT_EQ(exception.getMessage(), check.message);
      EXPECT_EQ(exception.getFile(), check.file);
      EXPECT_EQ(exception.getOperation(), check.operation);
    }
    EXPECT_EQ(Object::_defaultStamp, stamp);
    EXPECT_EQ(analyzer->getPoles().getCount(), poleCount);
    EXPECT_EQ(analyzer->getEdges().getCount(), edgeCount);
    EXPECT_EQ(analyzer->getCPathCount(), pathCount);
    EXPECT_EQ(analyzer->needReset(), stale);
  }
  // The last bit of each table and a cycle count of two are accepted.
  EXPECT_NO_THROW(Mask::getBasic(2));
  EXPECT_NO_THROW(DomainMask::getBasic(2));
  EXPECT_NO_THROW(MPath::create(Support::view({mid}), Poles(), Support::view({mid}), 2));
}

}  // namespace
