// The host layer's errors, records, labels and text utilities.
#include <Orvek/Console.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>
#include <Orvek/Text.h>

#include <gtest/gtest.h>

#include "Support.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kSource = "lib/Morva/Sample";

// A value with a record of its own, like the library's value classes.
class Sample : public Orvek::Stuff {
 public:
  explicit Sample(int value) : _value(value) {}
  std::string _getLabel() const override { return "<Sample " + std::to_string(_value) + ">"; }
  bool _hasRecord() const override { return true; }
  Orvek::Record* _getRecord() const override {
    auto* record = new Orvek::Record(_getLabel());
    record->addHeader("Sample");
    record->add("Value", _value);
    return record;
  }

 private:
  int _value;
};

// A value that builds a record but says it has none.
class Silent : public Orvek::Stuff {
 public:
  std::string _getLabel() const override { return "silent"; }
  Orvek::Record* _getRecord() const override { return new Orvek::Record("silent"); }
};

// Sends std::cout to a string for the lifetime of the capture.
class StdoutCapture {
 public:
  StdoutCapture() : _saved(std::cout.rdbuf(_stream.rdbuf())) {}
  ~StdoutCapture() { std::cout.rdbuf(_saved); }
  std::string text() const { return _stream.str(); }

 private:
  std::ostringstream _stream;
  std::streambuf* _saved;
};

struct LocalType {};
template <class T>
struct Outer {
  struct Inner {};
};

}  // namespace

TEST(Exception, RaiseLocatesAndKeepsTheMessage) {
  unsigned long line = 0;
  try {
    line = __LINE__ + 1;
    Orvek::raise<Orvek::InvalidRequest>(kSource, "setPeriod", "Rejected period");
    FAIL() << "raise returned";
  } catch (const Orvek::InvalidRequest& exception) {
    EXPECT_STREQ(exception.what(), "Rejected period");
    EXPECT_EQ(exception.getMessage(), "Rejected period");
    EXPECT_EQ(exception.getFile(), "lib/Morva/Sample");
    EXPECT_EQ(exception.getOperation(), "setPeriod");
    EXPECT_EQ(exception.getLine(), line);
    EXPECT_EQ(exception.getLocation(), "lib/Morva/Sample:setPeriod:" + std::to_string(line));
  }
  Orvek::Exception unlocated("Plain");
  EXPECT_STREQ(unlocated.what(), "Plain");
  EXPECT_EQ(unlocated.getFile(), "");
  EXPECT_EQ(unlocated.getLine(), 0UL);
}

TEST(Exception, ClassesCatchAlongTheirHierarchy) {
  auto caughtAs = [](auto raiser) {
    std::vector<std::string> names;
    try {
      raiser();
    } catch (const Orvek::InternalError&) {
      names.push_back("InternalError");
    } catch (const Orvek::Error&) {
      names.push_back("Error");
    }
    try {
      raiser();
    } catch (const std::exception& exception) {
      names.push_back(exception.what());
    }
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(caughtAs([] { Orvek::raise<Orvek::InvalidRequest>(kSource, "a", "m1"); }),
            (Names{"InternalError", "m1"}));
  EXPECT_EQ(caughtAs([] { Orvek::raise<Orvek::FactoryFailed>(kSource, "a", "m2"); }),
            (Names{"InternalError", "m2"}));
  EXPECT_EQ(caughtAs([] { Orvek::raise<Orvek::LoadFailed>(kSource, "a", "m3"); }),
            (Names{"Error", "m3"}));
  EXPECT_THROW(Orvek::raise<Orvek::FactoryFailed>(kSource, "a", "m"), Orvek::Exception);
  // A concrete class is not caught as a sibling.
  bool sibling = false;
  try {
    try {
      Orvek::raise<Orvek::FactoryFailed>(kSource, "a", "m");
    } catch (const Orvek::InvalidRequest&) {
      sibling = true;
    }
  } catch (const Orvek::FactoryFailed&) {
  }
  EXPECT_FALSE(sibling);
}

TEST(Exception, FatalIsTracedOnStandardOutputOnlyWhileDebugging) {
  EXPECT_FALSE(Orvek::isDebug());
  {
    StdoutCapture out;
    EXPECT_THROW(Orvek::raise<Orvek::Fatal>(kSource, "scan", "Broken state"), Orvek::Fatal);
    EXPECT_EQ(out.text(), "");
  }
  Orvek::setDebug(true);
  EXPECT_TRUE(Orvek::isDebug());
  std::string traced, other;
  {
    StdoutCapture out;
    EXPECT_THROW(Orvek::raise<Orvek::Fatal>(kSource, "scan", "Broken state"), Orvek::Fatal);
    traced = out.text();
  }
  {
    StdoutCapture out;
    EXPECT_THROW(Orvek::raise<Orvek::InvalidRequest>(kSource, "scan", "Bad"),
                 Orvek::InvalidRequest);
    other = out.text();
  }
  Orvek::setDebug(false);
  EXPECT_EQ(std::count(traced.begin(), traced.end(), '\n'), 1);
  EXPECT_NE(traced.find("Broken state"), std::string::npos);
  EXPECT_NE(traced.find("lib/Morva/Sample:scan:"), std::string::npos);
  EXPECT_EQ(other, "");
}

TEST(Record, SlotsKeepNamesHeadersLabelsAndRecords) {
  auto record = std::make_unique<Orvek::Record>("<Pole a>");
  record->add("Loose", 7);
  record->addHeader("Object");
  record->add("Stamp", 12UL);
  record->add("Marked", true);
  record->add("Name", "clk");
  record->add("Text", std::string("word"));
  record->addHeader("Pole");
  record->add("Ratio", 0.5);
  record->add("Value", Sample(3));
  const Sample pointed(4);
  record->add("Pointer", &pointed);
  record->add("Nothing", static_cast<const Sample*>(nullptr));
  record->add("Null text", static_cast<const char*>(nullptr));
  record->addSlot(Orvek::NullSlot::create("Empty"));
  record->addSlot(nullptr);

  EXPECT_EQ(record->getTitle(), "<Pole a>");
  EXPECT_EQ(record->getHeaders(), (std::vector<std::string>{"Object", "Pole"}));
  EXPECT_EQ(record->getCurrentHeader(), "Pole");
  struct Expected {
    std::string name, header, label;
    unsigned long level;
  };
  const std::vector<Expected> expected = {{"Loose", "", "7", 0},
                                          {"Stamp", "Object", "12", 1},
                                          {"Marked", "Object", "1", 1},
                                          {"Name", "Object", "clk", 1},
                                          {"Text", "Object", "word", 1},
                                          {"Ratio", "Pole", "0.5", 2},
                                          {"Value", "Pole", "<Sample 3>", 2},
                                          {"Pointer", "Pole", "<Sample 4>", 2},
                                          {"Nothing", "Pole", "null", 2},
                                          {"Null text", "Pole", "null", 2},
                                          {"Empty", "Pole", "null", 2}};
  ASSERT_EQ(record->getSlots().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Orvek::Slot* slot = record->getSlots()[i];
    EXPECT_EQ(slot->getName(), expected[i].name);
    EXPECT_EQ(slot->getHeader(), expected[i].header) << expected[i].name;
    EXPECT_EQ(slot->getDataLabel(), expected[i].label) << expected[i].name;
    EXPECT_EQ(slot->getLevel(), expected[i].level) << expected[i].name;
    EXPECT_EQ(slot->getOwner(), record.get());
  }
  // Plain values and null pointers have no record; Stuff values do.
  for (std::size_t i : {0, 1, 3, 8, 9, 10}) {
    std::unique_ptr<Orvek::Record> data(record->getSlots()[i]->getDataRecord());
    EXPECT_EQ(data, nullptr) << expected[i].name;
  }
  std::unique_ptr<Orvek::Record> value(record->getSlots()[6]->getDataRecord());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->getTitle(), "<Sample 3>");
  ASSERT_EQ(value->getSlots().size(), 1u);
  EXPECT_EQ(value->getSlots()[0]->getHeader(), "Sample");
  std::unique_ptr<Orvek::Record> pointer(record->getSlots()[7]->getDataRecord());
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(pointer->getTitle(), "<Sample 4>");
}

TEST(Record, AddingTheSameSlotTwiceKeepsOneCopy) {
  Orvek::Record record("r");
  Orvek::Slot* slot = Orvek::getSlot("Count", 3);
  record.addSlot(slot);
  record.addSlot(slot);
  EXPECT_EQ(record.getSlots().size(), 1u);
  slot->setName("Total");
  EXPECT_EQ(record.getSlots()[0]->getName(), "Total");
}

TEST(Record, ContainersBecomeRecordsOfTheirElements) {
  Orvek::Record record("r");
  record.add("List", std::vector<int>{5, 6, 7});
  record.add("Table", std::map<std::string, Sample>{{"b", Sample(2)}, {"a", Sample(1)}});
  record.add("Empty", std::set<int>());
  EXPECT_EQ(record.getSlots()[0]->getDataLabel(), "{3}");
  EXPECT_EQ(record.getSlots()[1]->getDataLabel(), "{2}");
  EXPECT_EQ(record.getSlots()[2]->getDataLabel(), "{0}");

  std::unique_ptr<Orvek::Record> list(record.getSlots()[0]->getDataRecord());
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->getSlots().size(), 3u);
  EXPECT_EQ(list->getSlots()[2]->getName(), "2");
  EXPECT_EQ(list->getSlots()[2]->getDataLabel(), "7");

  std::unique_ptr<Orvek::Record> table(record.getSlots()[1]->getDataRecord());
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->getSlots().size(), 2u);
  EXPECT_EQ(table->getSlots()[0]->getName(), "a");
  EXPECT_EQ(table->getSlots()[0]->getDataLabel(), "<Sample 1>");
  EXPECT_EQ(table->getSlots()[1]->getName(), "b");

  std::unique_ptr<Orvek::Record> empty(record.getSlots()[2]->getDataRecord());
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->getSlots().empty());
}

TEST(Record, StuffDefaultsAndTheHasRecordSwitch) {
  const Silent silent;
  EXPECT_FALSE(silent._hasRecord());
  EXPECT_EQ(Orvek::getRecord(silent), nullptr);
  EXPECT_EQ(Orvek::getRecord(&silent), nullptr);
  EXPECT_EQ(Orvek::getRecord(static_cast<const Orvek::Stuff*>(nullptr)), nullptr);
  std::unique_ptr<Orvek::Slot> slot(silent._getSlot("Self"));
  EXPECT_EQ(slot->getName(), "Self");
  EXPECT_EQ(slot->getDataLabel(), "silent");
  EXPECT_EQ(std::unique_ptr<Orvek::Record>(slot->getDataRecord()), nullptr);

  const Sample sample(9);
  std::unique_ptr<Orvek::Record> record(Orvek::getRecord(sample));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->getTitle(), "<Sample 9>");
}

TEST(Record, InspectPrintsTitleHeadersAndSlots) {
  Support::ConsoleCapture capture;
  auto* record = new Orvek::Record("<Edge a b>");
  record->add("Loose", 1);
  record->addHeader("Object");
  record->add("Stamp", 4);
  record->addHeader("Empty level");
  record->addHeader("Edge");
  record->add("From", "a");
  record->addSlot(Orvek::NullSlot::create("Route"));
  Orvek::inspect(record, "Inspecting");
  Orvek::inspect(nullptr, "Nothing");
  Orvek::inspect(new Orvek::Record("<Bare>"), "");
  EXPECT_EQ(capture.text(),
            "Inspecting <Edge a b>\n"
            "  Loose: 1\n"
            "  [Object]\n"
            "    Stamp: 4\n"
            "  [Empty level]\n"
            "  [Edge]\n"
            "    From: a\n"
            "    Route: null\n"
            "<Bare>\n");
  EXPECT_EQ(Orvek::console.getIndentation(), 0u);
}

TEST(Label, CreateUpdateAndConvert) {
  Orvek::Label label = Orvek::Label::create("Pole");
  EXPECT_EQ(label.getText(), "<Pole>");
  label.update("clk").update("\"in\"");
  EXPECT_EQ(label.getText(), "<Pole clk \"in\">");
  const std::string& text = label;
  EXPECT_EQ(text, "<Pole clk \"in\">");
  Orvek::Label open("Route");
  open.update("12");
  EXPECT_EQ(open.getText(), "Route 12");
}

TEST(Label, ExternalNamesDropNamespacesAndTemplateArguments) {
  EXPECT_EQ(Orvek::getExternalName(typeid(Orvek::Record)), "Record");
  EXPECT_EQ(Orvek::getExternalName(typeid(LocalType)), "LocalType");
  EXPECT_EQ(Orvek::getExternalName(typeid(std::vector<Orvek::Record*>)), "vector");
  EXPECT_EQ(Orvek::getExternalName(typeid(Outer<std::map<int, int>>::Inner)), "Inner");
  EXPECT_EQ(Orvek::getExternalName(typeid(int)), "int");
  EXPECT_EQ(Orvek::getExternalName("*N5Orvek5StuffE"), "Stuff");
  EXPECT_EQ(Orvek::getExternalName("not a mangled name"), "not a mangled name");
  EXPECT_EQ(Orvek::getExternalName(""), "");
}

TEST(Label, LabelsOfPlainValues) {
  EXPECT_EQ(Orvek::getLabel(true), "1");
  EXPECT_EQ(Orvek::getLabel(false), "0");
  EXPECT_EQ(Orvek::getLabel(-12), "-12");
  EXPECT_EQ(Orvek::getLabel(4000000000UL), "4000000000");
  EXPECT_EQ(Orvek::getLabel(18446744073709551615UL), "18446744073709551615");
  EXPECT_EQ(Orvek::getLabel(1.25), "1.25");
  EXPECT_EQ(Orvek::getLabel(std::string("net")), "net");
  EXPECT_EQ(Orvek::getLabel("net"), "net");
  EXPECT_EQ(Orvek::getLabel(static_cast<const char*>(nullptr)), "null");
  const Sample sample(5);
  EXPECT_EQ(Orvek::getLabel(sample), "<Sample 5>");
  EXPECT_EQ(Orvek::getLabel(&sample), "<Sample 5>");
  EXPECT_EQ(Orvek::getLabel(static_cast<Sample*>(nullptr)), "null");
  EXPECT_EQ(Orvek::getLabel(std::vector<int>{1, 2}), "{2}");
  EXPECT_EQ(Orvek::getLabel(std::make_pair(std::string("a"), 3)), "a => 3");
}

TEST(Text, SplittedDropsEmptyWords) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(Orvek::getSplitted("  edge a  b\t3 ", " \t"), (Words{"edge", "a", "b", "3"}));
  EXPECT_EQ(Orvek::getSplitted("a,,b,", ","), (Words{"a", "b"}));
  EXPECT_EQ(Orvek::getSplitted("", " "), Words{});
  EXPECT_EQ(Orvek::getSplitted("   ", " "), Words{});
  EXPECT_EQ(Orvek::getSplitted("one piece", ""), Words{"one piece"});
  EXPECT_EQ(Orvek::getSplitted("x", " "), Words{"x"});
}

TEST(Text, ReversedAndRandom) {
  EXPECT_EQ(Orvek::getReversed("abc"), "cba");
  EXPECT_EQ(Orvek::getReversed(""), "");
  EXPECT_EQ(Orvek::getReversed("a"), "a");
  std::set<unsigned long> values;
  for (int i = 0; i < 16; ++i) values.insert(Orvek::getRandomValue());
  EXPECT_GT(values.size(), 1u);
}

TEST(Text, FormattedBreaksBetweenWordsAndPads) {
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 12, -1), "Setup slack ");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 12, 1), " Setup slack");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 14, 0), " Setup slack  ");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 11, 0), "Setup slack");
  EXPECT_EQ(Orvek::getFormatted("Setup slack", 7, 0), " Setup \n slack ");
  EXPECT_EQ(Orvek::getFormatted("Data  arrival time", 12, -1), "Data arrival\ntime        ");
  EXPECT_EQ(Orvek::getFormatted("a Propagation b", 4, 1), "   a\nPropagation\n   b");
  EXPECT_EQ(Orvek::getFormatted("", 3, 0), "   ");
  EXPECT_EQ(Orvek::getFormatted("x", 0, 0), "x");
}

TEST(Text, AlphaLessOrdersDigitRunsAsNumbers) {
  EXPECT_TRUE(Orvek::isAlphaLess("r2", "r10"));
  EXPECT_FALSE(Orvek::isAlphaLess("r10", "r2"));
  EXPECT_TRUE(Orvek::isAlphaLess("a", "ab"));
  EXPECT_FALSE(Orvek::isAlphaLess("ab", "a"));
  EXPECT_FALSE(Orvek::isAlphaLess("same", "same"));
  EXPECT_FALSE(Orvek::isAlphaLess("", ""));
  EXPECT_TRUE(Orvek::isAlphaLess("", "a"));
  // Equal numbers with different zeros are still distinct and ordered one way.
  EXPECT_NE(Orvek::isAlphaLess("a01", "a1"), Orvek::isAlphaLess("a1", "a01"));
  EXPECT_TRUE(Orvek::isAlphaLess("a01b", "a1c"));
  EXPECT_TRUE(Orvek::isAlphaLess("a1b", "a01c"));

  std::vector<std::string> names = {"u10/q", "u9/q", "clk",   "u10/d", "u009/a", "b",  "B",
                                    "u9",    "a2b3", "a2b10", "a10",   "a02",    "x0", "x"};
  std::sort(names.begin(), names.end(), Orvek::AlphaLess());
  EXPECT_EQ(names, (std::vector<std::string>{"B", "a02", "a2b3", "a2b10", "a10", "b", "clk", "u9",
                                             "u009/a", "u9/q", "u10/d", "u10/q", "x", "x0"}));
  std::set<std::string, Orvek::AlphaLess> unique = {"n1", "n01", "n001", "n1"};
  EXPECT_EQ(unique.size(), 3u);
}

// The natural order read from the start of both names, a digit run at a
// time: the definition the comparison must keep.
bool alphaLessFromTheStart(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t si = i, sj = j;
      while (si < a.size() && a[si] == '0') ++si;
      while (sj < b.size() && b[sj] == '0') ++sj;
      std::size_t ei = si, ej = sj;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      if (int c = a.compare(si, ei - si, b, sj, ej - sj); c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size() && i == a.size();
  return a < b;
}

TEST(Text, AlphaLessAgreesWithItsDefinitionOnRandomNames) {
  std::mt19937 random(7);
  const std::string alphabet = "ab/009\xe9";
  const auto name = [&] {
    std::string text(random() % 9, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 200000; ++round) {
    std::string a = name(), b = random() % 2 ? name() : a;
    // Shared prefixes make the comparison start late.
    if (random() % 2) b = a.substr(0, random() % (a.size() + 1)) + b;
    ASSERT_EQ(Orvek::isAlphaLess(a, b), alphaLessFromTheStart(a, b)) << a << " / " << b;
  }
}
