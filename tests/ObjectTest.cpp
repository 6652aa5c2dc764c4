#include <Morva/Object.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <memory>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

using Morva::Object;

namespace {

// Read before any test creates an object.
const unsigned long kInitialDefaultStamp = Object::_defaultStamp;
const unsigned long kInitialRequiredStamp = Object::_requiredStamp;

// The smallest concrete object: it logs what the destroy protocol shows it.
class Probe : public Object {
 public:
  static Probe* create(std::vector<std::string>* log = nullptr) {
    preCreate();
    auto* probe = new Probe(log);
    probe->postCreate();
    return probe;
  }

  std::string getAlias() const override { return "PROBE"; }
  bool isDestroyable() const override { return _destroyable; }
  void setDestroyable(bool destroyable) { _destroyable = destroyable; }

 protected:
  explicit Probe(std::vector<std::string>* log) : _log(log) {}
  ~Probe() override {
    if (_log)
      _log->push_back("deleted stamp=" + std::to_string(getStamp()) + " flag3=" +
                      std::to_string(getFlag(3)) + " destroying=" + std::to_string(isDestroying()));
  }
  void preDestroy() override {
    Object::preDestroy();
    if (_log)
      _log->push_back("preDestroy stamp=" + std::to_string(getStamp()) +
                      " destroying=" + std::to_string(isDestroying()));
  }

 private:
  std::vector<std::string>* _log;
  bool _destroyable = true;
};

template <class E, class Call>
void expectRaise(Call&& call, const std::string& operation, const std::string& message) {
  Support::expectRaise<E>(call, "lib/Morva/Object", operation, message);
}

// Every test leaves the stamp counters as it found them.
class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _default = Object::_defaultStamp;
    _required = Object::_requiredStamp;
  }
  void TearDown() override {
    Object::setDefaultStamp(_default);
    Object::setRequiredStamp(_required);
  }

 private:
  unsigned long _default = 0;
  unsigned long _required = 0;
};

}  // namespace

TEST_F(ObjectTest, StampsFollowCreationOrder) {
  EXPECT_EQ(kInitialDefaultStamp, 1UL);
  EXPECT_EQ(kInitialRequiredStamp, 0UL);
  EXPECT_EQ(Object::_maximumStamp, 144115188075855872UL);

  Object::setDefaultStamp(1);
  std::vector<Probe*> probes;
  for (int i = 0; i < 5; ++i) probes.push_back(Probe::create());
  for (unsigned long i = 0; i < probes.size(); ++i) EXPECT_EQ(probes[i]->getStamp(), i + 1);
  EXPECT_EQ(Object::_defaultStamp, 6UL);

  // A set iterates in creation order whatever the addresses are.
  std::set<Object*, Object::StampLess> set(probes.rbegin(), probes.rend());
  std::vector<Object*> walked(set.begin(), set.end());
  EXPECT_EQ(walked, std::vector<Object*>(probes.begin(), probes.end()));
  for (Probe* probe : probes) probe->destroy();
}

TEST_F(ObjectTest, RequiredStampServesOneConstruction) {
  Object::setDefaultStamp(10);
  Object::setRequiredStamp(50);
  Probe* required = Probe::create();
  Probe* next = Probe::create();
  EXPECT_EQ(required->getStamp(), 50UL);
  EXPECT_EQ(next->getStamp(), 10UL);
  EXPECT_EQ(Object::_requiredStamp, 0UL);
  EXPECT_EQ(Object::_defaultStamp, 11UL);

  // Zero means no required stamp; a required stamp may repeat one in use.
  Object::setRequiredStamp(0);
  Probe* plain = Probe::create();
  EXPECT_EQ(plain->getStamp(), 11UL);
  Object::setRequiredStamp(10);
  Probe* twin = Probe::create();
  EXPECT_EQ(twin->getStamp(), 10UL);
  EXPECT_EQ(Object::_defaultStamp, 12UL);

  // The largest stamp is kept to its low 57 bits.
  Object::setRequiredStamp(Object::_maximumStamp);
  Probe* wrapped = Probe::create();
  EXPECT_EQ(wrapped->getStamp(), 0UL);
  for (Probe* probe : {required, next, plain, twin, wrapped}) probe->destroy();
}

TEST_F(ObjectTest, StampLessOrdersNullFirstAndTiesByAddress) {
  const Object::StampLess less;
  EXPECT_FALSE(less(nullptr, nullptr));
  Probe* probe = Probe::create();
  ASSERT_GT(probe->getStamp(), 0UL);
  EXPECT_TRUE(less(nullptr, probe));
  EXPECT_FALSE(less(probe, nullptr));
  EXPECT_FALSE(less(probe, probe));

  Object::setRequiredStamp(7);
  Probe* first = Probe::create();
  Object::setRequiredStamp(7);
  Probe* second = Probe::create();
  Object* low = std::less<Object*>()(first, second) ? first : second;
  Object* high = low == first ? second : first;
  EXPECT_TRUE(less(low, high));
  EXPECT_FALSE(less(high, low));

  // A stamp decides before the address does.
  Object::setRequiredStamp(3);
  Probe* older = Probe::create();
  EXPECT_TRUE(less(older, first));
  EXPECT_TRUE(less(older, second));

  // A stamp of 0 ties with null and falls back to the address.
  Object::setRequiredStamp(Object::_maximumStamp);
  Probe* zero = Probe::create();
  EXPECT_TRUE(less(nullptr, zero));
  EXPECT_FALSE(less(zero, nullptr));
  for (Probe* each : {probe, first, second, older, zero}) each->destroy();
}

TEST_F(ObjectTest, RejectedStampsLeaveTheCountersAlone) {
  Object::setDefaultStamp(Object::_maximumStamp);
  EXPECT_EQ(Object::_defaultStamp, Object::_maximumStamp);
  Object::setRequiredStamp(Object::_maximumStamp);
  EXPECT_EQ(Object::_requiredStamp, Object::_maximumStamp);

  Object::setDefaultStamp(20);
  Object::setRequiredStamp(30);
  expectRaise<Orvek::InvalidRequest>([] { Object::setDefaultStamp(144115188075855873UL); },
                                     "setDefaultStamp", "Rejected stamp");
  expectRaise<Orvek::InvalidRequest>([] { Object::setRequiredStamp(~0UL); }, "setRequiredStamp",
                                     "Rejected stamp");
  EXPECT_EQ(Object::_defaultStamp, 20UL);
  EXPECT_EQ(Object::_requiredStamp, 30UL);
}

TEST_F(ObjectTest, StampOverflowStopsCreationUnlessAStampIsRequired) {
  Object::setDefaultStamp(Object::_maximumStamp);
  Probe* last = Probe::create();
  EXPECT_EQ(last->getStamp(), 0UL);
  EXPECT_EQ(Object::_defaultStamp, Object::_maximumStamp + 1);

  expectRaise<Orvek::FactoryFailed>([] { Probe::create(); }, "preCreate", "Stamp overflow");
  EXPECT_EQ(Object::_defaultStamp, Object::_maximumStamp + 1);

  Object::setRequiredStamp(5);
  Probe* required = Probe::create();
  EXPECT_EQ(required->getStamp(), 5UL);
  expectRaise<Orvek::FactoryFailed>([] { Object::preCreate(); }, "preCreate", "Stamp overflow");
  last->destroy();
  required->destroy();
}

TEST_F(ObjectTest, FlagsAreCheckedAndKeepTheStamp) {
  Object::setRequiredStamp(Object::_maximumStamp - 1);
  Probe* probe = Probe::create();
  const unsigned long stamp = probe->getStamp();
  EXPECT_EQ(stamp, Object::_maximumStamp - 1);
  for (unsigned long number = 1; number <= 6; ++number) EXPECT_FALSE(probe->getFlag(number));

  probe->setFlag(1, true);
  probe->setFlag(4, true);
  probe->setFlag(6, true);
  EXPECT_TRUE(probe->getFlag(1));
  EXPECT_FALSE(probe->getFlag(2));
  EXPECT_FALSE(probe->getFlag(3));
  EXPECT_TRUE(probe->getFlag(4));
  EXPECT_FALSE(probe->getFlag(5));
  EXPECT_TRUE(probe->getFlag(6));
  probe->setFlag(4, false);
  EXPECT_FALSE(probe->getFlag(4));
  EXPECT_EQ(probe->getStamp(), stamp);
  EXPECT_FALSE(probe->isDestroying());

  expectRaise<Orvek::InvalidRequest>([probe] { probe->getFlag(0); }, "getFlag", "Rejected number");
  expectRaise<Orvek::InvalidRequest>([probe] { probe->getFlag(7); }, "getFlag", "Rejected number");
  expectRaise<Orvek::InvalidRequest>([probe] { probe->setFlag(7, true); }, "setFlag",
                                     "Rejected number");
  expectRaise<Orvek::InvalidRequest>([probe] { probe->setFlag(0, true); }, "setFlag",
                                     "Rejected number");
  EXPECT_FALSE(probe->isDestroying());
  EXPECT_EQ(probe->getStamp(), stamp);
  probe->destroy();
}

TEST_F(ObjectTest, DestroyRunsPreDestroyThenClearsTheStamp) {
  std::vector<std::string> log;
  Object::setRequiredStamp(42);
  Probe* probe = Probe::create(&log);
  probe->setFlag(3, true);
  probe->destroy();
  EXPECT_EQ(log, (std::vector<std::string>{"preDestroy stamp=42 destroying=1",
                                           "deleted stamp=0 flag3=1 destroying=1"}));
}

TEST_F(ObjectTest, NotDestroyableObjectStaysIntact) {
  std::vector<std::string> log;
  Object::setRequiredStamp(9);
  Probe* probe = Probe::create(&log);
  probe->setFlag(2, true);
  probe->setDestroyable(false);
  expectRaise<Orvek::FactoryFailed>([probe] { probe->destroy(); }, "destroy", "Not destroyable");
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(probe->isDestroying());
  EXPECT_EQ(probe->getStamp(), 9UL);
  EXPECT_TRUE(probe->getFlag(2));

  probe->setDestroyable(true);
  probe->destroy();
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(ObjectTest, LabelSlotAndRecord) {
  Object::setRequiredStamp(77);
  Probe* probe = Probe::create();
  probe->setFlag(2, true);
  probe->setFlag(5, true);
  EXPECT_EQ(probe->_getLabel(), "<Probe \"PROBE\">");
  EXPECT_TRUE(probe->_hasRecord());

  std::unique_ptr<Orvek::Slot> slot(probe->_getSlot("me"));
  EXPECT_EQ(slot->getName(), "me");
  EXPECT_EQ(slot->getDataLabel(), "<Probe \"PROBE\">");
  std::unique_ptr<Orvek::Record> held(slot->getDataRecord());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->getHeaders(), std::vector<std::string>{"Object"});

  std::unique_ptr<Orvek::Record> record(probe->_getRecord());
  EXPECT_EQ(record->getTitle(), "<Probe \"PROBE\">");
  EXPECT_EQ(record->getHeaders(), std::vector<std::string>{"Object"});
  std::vector<std::string> names, labels;
  for (const Orvek::Slot* each : record->getSlots()) {
    names.push_back(each->getName());
    labels.push_back(each->getDataLabel());
    EXPECT_EQ(each->getHeader(), "Object");
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Flag1", "Flag2", "Flag3", "Flag4", "Flag5", "Flag6",
                                             "Stamp", "Alias"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "1", "0", "0", "1", "0", "77", "PROBE"}));

  // A null object pointer held in a slot reads as null.
  Orvek::StandardSlot<const Object*> none("none", nullptr);
  EXPECT_EQ(none.getDataLabel(), "null");
  probe->destroy();
}
