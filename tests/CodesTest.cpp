#include <Morva/Mode.h>
#include <Morva/Purpose.h>
#include <Morva/Type.h>
#include <Orvek/Record.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Morva::Mode;
using Morva::Purpose;
using Morva::Type;

TEST(CodesTest, Defaults) {
  EXPECT_EQ(Mode().getCode(), Mode::None);
  EXPECT_EQ(Type().getCode(), Type::None);
  EXPECT_EQ(Purpose().getCode(), Purpose::Interconnect);
}

TEST(CodesTest, FromSmallIntegers) {
  EXPECT_EQ(Mode((unsigned char)2).getCode(), Mode::Falling);
  EXPECT_EQ(Mode((unsigned char)3).getCode(), Mode::None);
  EXPECT_EQ(Mode((unsigned char)255).getCode(), Mode::None);
  EXPECT_EQ(Type((unsigned char)3).getCode(), Type::Dual);
  EXPECT_EQ(Type((unsigned char)4).getCode(), Type::None);
  EXPECT_EQ(Purpose((unsigned char)2).getCode(), Purpose::RecoveryRemoval);
  EXPECT_EQ(Purpose((unsigned char)4).getCode(), Purpose::Interconnect);
}

TEST(CodesTest, FromNames) {
  EXPECT_EQ(Mode(std::string("Rising")).getCode(), Mode::Rising);
  for (const char* text : {"rising", " Rising", "Rising ", "", "Invalid", "Risin"})
    EXPECT_EQ(Mode(std::string(text)).getCode(), Mode::None) << '"' << text << '"';
  EXPECT_EQ(Mode(std::string("Rising\0", 7)).getCode(), Mode::None);

  EXPECT_EQ(Type(std::string("ClockSource")).getCode(), Type::ClockSource);
  EXPECT_EQ(Type(std::string("Clocksource")).getCode(), Type::None);

  EXPECT_EQ(Purpose(std::string("IOPath")).getCode(), Purpose::IOPath);
  EXPECT_EQ(Purpose(std::string("iopath")).getCode(), Purpose::Interconnect);
  EXPECT_EQ(Purpose(std::string("SetupHold")).getCode(), Purpose::SetupHold);
  EXPECT_EQ(Purpose(std::string("None")).getCode(), Purpose::Interconnect);
}

TEST(CodesTest, NamesRoundTrip) {
  for (unsigned char code = 0; code < 3; ++code)
    EXPECT_EQ(Mode(Mode(code).getName()).getCode(), Mode(code).getCode());
  for (unsigned char code = 0; code < 4; ++code) {
    EXPECT_EQ(Type(Type(code).getName()).getCode(), Type(code).getCode());
    EXPECT_EQ(Purpose(Purpose(code).getName()).getCode(), Purpose(code).getCode());
  }
  EXPECT_EQ(Purpose(Purpose::RecoveryRemoval)._getLabel(), "RecoveryRemoval");
  // The name is a reference into the one table.
  EXPECT_EQ(&Mode(Mode::Rising).getName(), &Mode(std::string("Rising")).getName());
}

TEST(CodesTest, CodesOutsideTheTable) {
  Mode mode(static_cast<Mode::Code>(7));
  EXPECT_EQ(int(mode.getCode()), 7);
  EXPECT_EQ(mode.getName(), "Invalid");
  EXPECT_EQ(Type(static_cast<Type::Code>(-1))._getLabel(), "Invalid");
  EXPECT_EQ(Purpose(static_cast<Purpose::Code>(4)).getName(), "Invalid");
  std::unique_ptr<Orvek::Record> record(Purpose(static_cast<Purpose::Code>(-5))._getRecord());
  ASSERT_EQ(record->getSlots().size(), 2U);
  EXPECT_EQ(record->getSlots()[0]->getDataLabel(), "-5");
  EXPECT_EQ(record->getSlots()[1]->getDataLabel(), "Invalid");
}

TEST(CodesTest, Records) {
  EXPECT_TRUE(Mode()._hasRecord());
  std::unique_ptr<Orvek::Record> mode(Mode(Mode::Falling)._getRecord());
  std::unique_ptr<Orvek::Record> type(Type(Type::Primary)._getRecord());
  std::unique_ptr<Orvek::Record> purpose(Purpose()._getRecord());
  struct Expected {
    Orvek::Record* record;
    const char* header;
    const char* code;
    const char* name;
  };
  for (const Expected& expected :
       {Expected{mode.get(), "Mode", "2", "Falling"}, Expected{type.get(), "Type", "1", "Primary"},
        Expected{purpose.get(), "Purpose", "3", "Interconnect"}}) {
    ASSERT_NE(expected.record, nullptr);
    EXPECT_EQ(expected.record->getTitle(), expected.name);
    ASSERT_EQ(expected.record->getSlots().size(), 2U);
    EXPECT_EQ(expected.record->getSlots()[0]->getHeader(), expected.header);
    EXPECT_EQ(expected.record->getSlots()[0]->getName(), "Code");
    EXPECT_EQ(expected.record->getSlots()[0]->getDataLabel(), expected.code);
    EXPECT_EQ(expected.record->getSlots()[1]->getName(), "Name");
    EXPECT_EQ(expected.record->getSlots()[1]->getDataLabel(), expected.name);
  }
}
