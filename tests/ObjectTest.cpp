#include <Morva/Object.h>

#include "Support.h"

using Morva::Object;

namespace {

// The smallest concrete object.
class Probe : public Object {
 public:
  static Probe* create() {
    preCreate();
    auto* probe = new Probe();
    probe->postCreate();
    return probe;
  }
  std::string getAlias() const override { return "PROBE"; }
};

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
