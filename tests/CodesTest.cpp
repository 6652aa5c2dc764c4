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
