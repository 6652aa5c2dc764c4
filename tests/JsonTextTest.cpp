#include "../src/tools/JsonText.h"
#include "../src/tools/JsonWriter.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <random>
#include <sstream>
#include <string>

namespace {

using json = nlohmann::ordered_json;

// Drives a writer and a tree with the same random calls: nested objects
// and arrays (some empty), numbers of both signs, flags, nulls, and texts
// with quotes, escapes, control bytes, UTF-8 and bytes that are not UTF-8.
class RandomDocument {
 public:
  explicit RandomDocument(unsigned seed) : _random(seed) {}

  template <class... Out>
  void write(Out&... out) {
    (out.beginObject(), ...);
    members(0, out...);
    (out.end(), ...);
  }

 private:
  std::string text() {
    static const std::string pieces[] = {"a",
                                         "r1/CK",
                                         "\"",
                                         "\\",
                                         "\n",
                                         "\t",
                                         "\x01",
                                         "\x1f",
                                         "\x7f",
                                         "\xc3\xa9",
                                         "\xff",
                                         "\xe2\x82",
                                         "\xf0\x9f\x98\x80",
                                         "/",
                                         " "};
    std::string result;
    for (int count = pick(0, 4); count > 0; --count) result += pieces[pick(0, 14)];
    return result;
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(_random); }

  template <class... Out>
  void members(int depth, Out&... out) {
    for (int count = pick(0, 4); count > 0; --count) {
      const std::string name = text() + std::to_string(count);
      (out.key(name), ...);
      element(depth, out...);
    }
  }

  template <class... Out>
  void element(int depth, Out&... out) {
    switch (depth < 4 ? pick(0, 7) : pick(2, 7)) {
      case 0:
        (out.beginObject(), ...);
        members(depth + 1, out...);
        (out.end(), ...);
        break;
      case 1:
        (out.beginArray(), ...);
        for (int count = pick(0, 3); count > 0; --count) element(depth + 1, out...);
        (out.end(), ...);
        break;
      case 2: {
        const long long number = -pick(0, 1 << 30) * 3LL;
        (out.value(number), ...);
        break;
      }
      case 3: {
        const unsigned long long number = 18446744073709551615ULL - pick(0, 9);
        (out.value(number), ...);
        break;
      }
      case 4: {
        const bool flag = pick(0, 1) == 1;
        (out.value(flag), ...);
        break;
      }
      case 5:
        (out.null(), ...);
        break;
      default: {
        const std::string value = text();
        (out.value(value), ...);
      }
    }
  }

  std::mt19937 _random;
};

// The writer's text is the tree's dump, byte for byte, and so is the text
// of the tree written back through the writer.
TEST(JsonText, WritesWhatTheTreeDumps) {
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::ostringstream streamed;
    MorvaTool::JsonTree tree;
    {
      MorvaTool::JsonText text(streamed);
      RandomDocument(seed).write(text, tree);
    }
    const std::string expected = tree.getTree().dump(2, ' ', false, json::error_handler_t::replace);
    ASSERT_EQ(streamed.str(), expected) << "seed " << seed;
    ASSERT_EQ(MorvaTool::getJsonText(tree.getTree()), expected + "\n") << "seed " << seed;
  }
}

}  // namespace
