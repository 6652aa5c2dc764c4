#include <Morva/detail/LaunchClassList.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using Morva::LaunchClass;
using Morva::LaunchClassList;

namespace {

std::vector<LaunchClass> contents(const LaunchClassList& list) {
  return {list.begin(), list.end()};
}

LaunchClassList make(const std::vector<LaunchClass>& classes) {
  LaunchClassList list;
  for (const LaunchClass& launch : classes) list.merge(&launch, 1);
  return list;
}

TEST(LaunchClassListTest, MergesKeepKeyOrderAndTheEarlierFirstPoint) {
  struct Case {
    std::vector<LaunchClass> to;
    std::vector<LaunchClass> from;
    std::vector<LaunchClass> merged;
  };
  const Case cases[] = {
      {{}, {{4, 7}}, {{4, 7}}},
      {{{4, 7}}, {{4, 3}}, {{4, 3}}},
      {{{4, 3}}, {{4, 7}}, {{4, 3}}},
      {{{5, 1}}, {{4, 2}}, {{4, 2}, {5, 1}}},
      // From two inline classes to the heap, the shared key in between.
      {{{1, 9}, {6, 9}}, {{0, 4}, {1, 2}, {9, 1}}, {{0, 4}, {1, 2}, {6, 9}, {9, 1}}},
      // On the heap already, growing again; all keys shared but one.
      {{{0, 1}, {1, 1}, {2, 1}},
       {{0, 0}, {1, 2}, {2, 0}, {3, 5}, {8, 8}},
       {{0, 0}, {1, 1}, {2, 0}, {3, 5}, {8, 8}}},
      {{{0, 1}, {1, 1}, {2, 1}}, {}, {{0, 1}, {1, 1}, {2, 1}}},
  };
  for (const Case& test : cases) {
    LaunchClassList list = make(test.to);
    const LaunchClassList from = make(test.from);
    list.merge(from);
    EXPECT_EQ(contents(list), test.merged);
    EXPECT_EQ(list.size(), test.merged.size());
  }
}

TEST(LaunchClassListTest, SwapsAndMovesCarryInlineAndHeapClasses) {
  const std::vector<LaunchClass> small{{1, 1}};
  const std::vector<LaunchClass> large{{0, 3}, {2, 2}, {5, 1}, {7, 0}};
  LaunchClassList inlined = make(small);
  LaunchClassList heaped = make(large);
  inlined.swap(heaped);
  EXPECT_EQ(contents(inlined), large);
  EXPECT_EQ(contents(heaped), small);
  LaunchClassList moved(std::move(inlined));
  EXPECT_EQ(contents(moved), large);
  EXPECT_TRUE(inlined.empty());
  moved = std::move(heaped);
  EXPECT_EQ(contents(moved), small);
  // A list emptied by a swap takes classes again.
  LaunchClassList().swap(moved);
  EXPECT_TRUE(moved.empty());
  moved.merge(large.data(), static_cast<uint32_t>(large.size()));
  EXPECT_EQ(contents(moved), large);
}

}  // namespace
