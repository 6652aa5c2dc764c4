#include <Morva/Delay.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/Scanner.h>
#include <Morva/Timing.h>
#include <Morva/TimingMap.h>
#include <Orvek/Exception.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using Morva::Delay;
using Morva::Mask;
using Morva::Pole;
using Morva::PoleTimingMap;
using Morva::Scanner;
using Morva::Timing;
using Morva::TimingMap;

namespace {

using Reference = std::map<unsigned long, Timing>;

Timing timing(int minimum, int maximum) {
  return Timing(Delay(minimum), Delay(maximum));
}

// The entries of a map as (key, minimum, maximum) triples, for comparisons.
template <class Map>
std::vector<std::tuple<unsigned long, int, int>> entries(const Map& map) {
  std::vector<std::tuple<unsigned long, int, int>> result;
  for (const auto& [key, value] : map)
    result.emplace_back(key, value.getMinimumDelay().getValue(),
                        value.getMaximumDelay().getValue());
  return result;
}

const int kMaximum = Delay::getMaximum().getValue();
const int kMinimum = Delay::getMinimum().getValue();
const int kUndefined = Delay::getUndefined().getValue();

}  // namespace

TEST(TimingMap, StartsEntriesUndefinedAndKeepsKeyZeroApartFromPositions) {
  TimingMap map;
  EXPECT_EQ(map[7], Timing());  // (Undefined, Undefined)
  map[0] = timing(1, 2);
  EXPECT_EQ(map.begin()->first, 0u);
  EXPECT_EQ(map.erase(0), 1u);  // key 0, not a null position
  EXPECT_EQ(entries(map),
            (std::vector<std::tuple<unsigned long, int, int>>{{7, kUndefined, kUndefined}}));
}

TEST(TimingMap, MovesAndSwapsInlineAndHeapMaps) {
  const TimingMap single{{0, timing(1, 2)}};
  const TimingMap several{{0, timing(1, 2)}, {4, timing(3, 4)}, {9, timing(5, 6)}};
  // Every pairing of the inline (one entry) and heap (several) layouts.
  for (const TimingMap* left : {&single, &several}) {
    for (const TimingMap* right : {&single, &several}) {
      TimingMap a = *left;
      TimingMap b = *right;
      swap(a, b);
      EXPECT_EQ(a, *right);
      EXPECT_EQ(b, *left);
      TimingMap moved(std::move(a));
      EXPECT_EQ(moved, *right);
      EXPECT_TRUE(a.empty());
      a = std::move(b);
      EXPECT_EQ(a, *left);
      EXPECT_TRUE(b.empty());
    }
  }
}

TEST(TimingMap, AgreesWithStdMapUnderRandomOperations) {
  std::mt19937 random(12345);
  TimingMap map;
  Reference reference;
  for (int step = 0; step < 20000; ++step) {
    const unsigned long key = random() % 9;
    switch (random() % 6) {
      case 0:
      case 1: {
        const Timing value =
            timing(static_cast<int>(random() % 100), static_cast<int>(random() % 100));
        map[key] = value;
        reference[key] = value;
        break;
      }
      case 2:
        EXPECT_EQ(map.erase(key), reference.erase(key));
        break;
      case 3: {
        auto found = map.find(key);
        auto expected = reference.find(key);
        ASSERT_EQ(found == map.end(), expected == reference.end());
        if (found != map.end()) {
          auto next = map.erase(found);
          auto expectedNext = reference.erase(expected);
          ASSERT_EQ(next == map.end(), expectedNext == reference.end());
          if (next != map.end()) {
            EXPECT_EQ(next->first, expectedNext->first);
          }
        }
        break;
      }
      case 4: {
        TimingMap copy = map;
        map.clear();
        map.swap(copy);
        break;
      }
      default:
        if (random() % 50 == 0) {
          map.clear();
          reference.clear();
        }
    }
    ASSERT_EQ(map.size(), reference.size());
    ASSERT_EQ(entries(map), entries(reference));
  }
}

TEST(PoleTimingMap, FindsPolesAndIteratesInCreationOrder) {
  std::vector<Pole*> poles;
  for (int index = 0; index < 5000; ++index)
    poles.push_back(Pole::createMain("p" + std::to_string(index)));
  PoleTimingMap table;
  std::map<Pole*, TimingMap, Morva::Object::StampLess> reference;
  // Insert in a shuffled order; iteration must still follow the stamps.
  std::vector<Pole*> shuffled = poles;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  for (std::size_t index = 0; index < shuffled.size(); index += 2) {
    Pole* pole = shuffled[index];
    table[pole][0] = timing(static_cast<int>(index), static_cast<int>(index) + 1);
    reference[pole][0] = timing(static_cast<int>(index), static_cast<int>(index) + 1);
  }
  ASSERT_EQ(table.size(), reference.size());
  auto expected = reference.begin();
  for (const auto& [pole, map] : table) {
    ASSERT_EQ(pole, expected->first);
    EXPECT_EQ(map, expected->second);
    ++expected;
  }
  // Look-ups after the sort, and for absent poles.
  for (Pole* pole : poles) {
    EXPECT_EQ(table.contains(pole), reference.count(pole) == 1);
    TimingMap holder;
    const TimingMap* found = table.find(pole, holder);
    ASSERT_EQ(found != nullptr, reference.count(pole) == 1);
    if (found) {
      EXPECT_EQ(*found, reference[pole]);
    }
  }
  // A moved table keeps its index.
  PoleTimingMap moved(std::move(table));
  EXPECT_TRUE(table.empty());
  TimingMap holder;
  EXPECT_EQ(*moved.find(shuffled[0], holder), reference[shuffled[0]]);
  // Reserving and trimming leave every entry at its position.
  PoleTimingMap sized;
  sized.reserve(poles.size());
  std::vector<std::size_t> positions;
  for (std::size_t index = 0; index < 100; ++index)
    positions.push_back(sized.getPosition(shuffled[index]));
  sized.shrink_to_fit();
  for (std::size_t index = 0; index < 100; ++index)
    EXPECT_EQ(sized.findPosition(shuffled[index]), positions[index]);
  EXPECT_FALSE(sized.contains(shuffled[100]));
  EXPECT_EQ(sized.size(), 100u);
  for (Pole* pole : poles) pole->destroy();
}

TEST(PoleTimingMap, SwitchesFromHashingToPoleNumbersAsItGrows) {
  std::vector<Pole*> poles;
  for (int index = 0; index < 200; ++index)
    poles.push_back(Pole::createMain("q" + std::to_string(index)));
  PoleTimingMap table;
  std::map<Pole*, int> reference;
  const auto check = [&table, &reference, &poles] {
    for (Pole* pole : poles) {
      const auto found = reference.find(pole);
      ASSERT_EQ(table.contains(pole), found != reference.end()) << pole->getName();
      if (found != reference.end()) {
        TimingMap holder;
        EXPECT_EQ(int(table.find(pole, holder)->find(0)->second.getMaximumDelay()), found->second);
      }
    }
  };
  // From the end, so that entries come against creation order and are
  // sorted when iterated; every seventh pole, then all of them.
  for (int step : {7, 1}) {
    for (int index = 199; index >= 0; index -= step) {
      table[poles[index]][0] = timing(0, index);
      reference[poles[index]] = index;
    }
    check();
    std::vector<Pole*> order;
    for (const auto& entry : table) order.push_back(entry.first);
    std::vector<Pole*> expected;
    for (const auto& entry : reference) expected.push_back(entry.first);
    std::sort(expected.begin(), expected.end(), Morva::Object::StampLess());
    EXPECT_EQ(order, expected);
    check();
  }
  // A pole made after the table was indexed by number is entered too.
  Pole* late = Pole::createMain("late");
  table[late][0] = timing(0, 1000);
  reference[late] = 1000;
  poles.push_back(late);
  check();
  PoleTimingMap copy = table;
  table.clear();
  EXPECT_FALSE(table.contains(late));
  TimingMap holder;
  EXPECT_EQ(int(copy.find(late, holder)->find(0)->second.getMaximumDelay()), 1000);
  for (Pole* pole : poles) pole->destroy();
}

TEST(PoleTimingMap, KeepsOneKeyZeroTimingInPlaceAndOtherMapsAside) {
  std::vector<Pole*> poles;
  for (int index = 0; index < 600; ++index)
    poles.push_back(Pole::createMain("k" + std::to_string(index)));
  const TimingMap single{{0, timing(1, 2)}};
  const TimingMap several{{0, timing(3, 4)}, {6, timing(5, 7)}};
  const TimingMap keyed{{6, timing(8, 9)}};
  PoleTimingMap table;
  std::map<Pole*, TimingMap> reference;
  const auto enter = [&](Pole* pole, const TimingMap& map) {
    table.tryEmplace(pole->getNumber(), TimingMap(map));
    reference[pole] = map;
  };
  enter(poles[0], single);
  enter(poles[1], several);
  enter(poles[2], keyed);
  table.getPosition(poles[3]);
  reference[poles[3]];
  // Only a map of one key-0 timing is handed over in the reader's holder.
  TimingMap holder;
  EXPECT_EQ(&table.readAt(0, holder), &holder);
  for (std::size_t position : {1, 2, 3}) EXPECT_NE(&table.readAt(position, holder), &holder);
  // A map written is moved aside, and stays where it is while others are
  // moved aside after it.
  TimingMap& written = table[poles[0]];
  written[6] = timing(10, 11);
  reference[poles[0]][6] = timing(10, 11);
  for (std::size_t index = 4; index < poles.size(); ++index) {
    enter(poles[index], single);
    table[poles[index]][0] = timing(static_cast<int>(index), 20);
    reference[poles[index]][0] = timing(static_cast<int>(index), 20);
  }
  written[7] = timing(12, 13);
  reference[poles[0]][7] = timing(12, 13);
  // Replacing a map, aside or in place, by a map of the other kind.
  table.assign(poles[1]->getNumber(), TimingMap(single));
  table.assign(poles[4]->getNumber(), TimingMap(several));
  reference[poles[1]] = single;
  reference[poles[4]] = several;
  const auto check = [&reference](const PoleTimingMap& checked) {
    ASSERT_EQ(checked.size(), reference.size());
    for (const auto& [pole, map] : reference) {
      TimingMap held;
      const TimingMap* found = checked.find(pole, held);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(entries(*found), entries(map)) << pole->getName();
    }
    std::vector<Pole*> order;
    for (const auto& [pole, map] : checked) {
      order.push_back(pole);
      EXPECT_EQ(entries(map), entries(reference.at(pole))) << pole->getName();
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), Morva::Object::StampLess()));
  };
  check(table);
  // Trimming brings the maps of one key-0 timing back in place and keeps
  // every position and the others' contents.
  std::vector<std::size_t> positions;
  for (Pole* pole : poles) positions.push_back(table.findPosition(pole));
  table.shrink_to_fit();
  for (std::size_t index = 0; index < poles.size(); ++index)
    EXPECT_EQ(table.findPosition(poles[index]), positions[index]);
  EXPECT_EQ(&table.readAt(table.findPosition(poles[1]), holder), &holder);
  EXPECT_EQ(&table.readAt(table.findPosition(poles[5]), holder), &holder);
  EXPECT_NE(&table.readAt(table.findPosition(poles[0]), holder), &holder);
  EXPECT_NE(&table.readAt(table.findPosition(poles[4]), holder), &holder);
  check(table);
  const PoleTimingMap copy = table;
  table.clear();
  check(copy);
  // A holder that held several entries is given the one timing alone.
  TimingMap used = several;
  EXPECT_EQ(entries(*copy.find(poles[5], used)), entries(reference[poles[5]]));

  // Entered against creation order, maps in place and aside alike keep
  // their poles when iterating sorts the table, hashed or by number.
  for (std::size_t count : {40, 600}) {
    std::vector<Pole*> shuffled(poles.begin(), poles.begin() + static_cast<long>(count));
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(static_cast<unsigned>(count)));
    PoleTimingMap mixed;
    std::map<Pole*, TimingMap, Morva::Object::StampLess> expected;
    for (std::size_t index = 0; index < shuffled.size(); ++index) {
      TimingMap map = index % 3 == 0 ? several : TimingMap{{0, timing(static_cast<int>(index), 1)}};
      if (index % 3 == 0) map[8] = timing(static_cast<int>(index), 2);
      expected[shuffled[index]] = map;
      mixed.tryEmplace(shuffled[index]->getNumber(), std::move(map));
    }
    auto next = expected.begin();
    for (const auto& [pole, map] : mixed) {
      ASSERT_EQ(pole, next->first);
      EXPECT_EQ(entries(map), entries(next->second)) << pole->getName();
      ++next;
    }
    for (const auto& [pole, map] : expected)
      EXPECT_EQ(entries(*mixed.find(pole, holder)), entries(map));
  }
  for (Pole* pole : poles) pole->destroy();
}

TEST(TimingMap, AssignsOneEntryOverAnyContents) {
  for (TimingMap map : {TimingMap(), TimingMap{{3, timing(1, 2)}},
                        TimingMap{{0, timing(1, 2)}, {4, timing(3, 4)}, {9, timing(5, 6)}}}) {
    map.assign(5, timing(7, 8));
    EXPECT_EQ(entries(map), (std::vector<std::tuple<unsigned long, int, int>>{{5, 7, 8}}));
  }
}

TEST(PoleTimingMap, OrdersEqualStampsByAddress) {
  // Required stamps can repeat; the table then falls back to addresses,
  // like every stamp-ordered set.
  Pole* early = Pole::createMain("early");
  Morva::Object::setRequiredStamp(900000);
  Pole* a = Pole::createMain("twinA");
  Morva::Object::setRequiredStamp(900000);
  Pole* b = Pole::createMain("twinB");
  PoleTimingMap table;
  for (Pole* pole : {b, a, early}) table[pole];
  std::vector<Pole*> order;
  for (const auto& entry : table) order.push_back(entry.first);
  EXPECT_EQ(order, (std::vector<Pole*>{early, std::min(a, b), std::max(a, b)}));
  EXPECT_TRUE(table.contains(a) && table.contains(b));
  for (Pole* pole : {a, b, early}) pole->destroy();
}

TEST(TimingMapOperations, ShiftsUseWrappingOrBoundedArithmetic) {
  using E = std::tuple<unsigned long, int, int>;
  const TimingMap base{{0, timing(100, 200)}, {3, timing(10, 20)}};
  TimingMap map = base;
  Scanner::minusDelay(Delay(2), Delay(9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 91, 198}, {3, 1, 18}}));
  map = base;
  Scanner::freeSetupHold(Delay(2), Delay(9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 91, 202}, {3, 1, 22}}));
  map = base;
  Scanner::takeSetupHold(Delay(2), Delay(9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 98, 209}, {3, 8, 29}}));
  map = base;
  Scanner::minusLatchTiming(timing(2, 9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 91, 198}, {3, 1, 18}}));
  map = base;
  Scanner::addLatchTiming(timing(2, 9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 102, 209}, {3, 12, 29}}));
  map = base;
  Scanner::addDelay(Delay(2), Delay(9), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 102, 209}, {3, 12, 29}}));
  map = base;
  Scanner::addDelay(Delay(5), map);
  Scanner::minusDelay(Delay(1), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 104, 204}, {3, 14, 24}}));

  // The Timing operators wrap and ignore the codes...
  map = TimingMap{{0, timing(kUndefined, kMaximum)}};
  Scanner::addDelay(Delay(1), Delay(1), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, kMinimum, kUndefined}}));
  // ...the Delay operators keep Undefined and refuse to leave the range.
  map = TimingMap{{0, timing(kUndefined, 5)}};
  Scanner::takeSetupHold(Delay(1), Delay(1), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, kUndefined, 6}}));
  map = TimingMap{{0, timing(100, kMaximum - 1)}};
  try {
    Scanner::takeSetupHold(Delay(2), Delay(9), map);
    ADD_FAILURE() << "no overflow";
  } catch (const Orvek::InvalidRequest& error) {
    EXPECT_EQ(error.getMessage(), "Delay overflow");
  }
  // The minimum is computed and stored before the maximum fails.
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 98, kMaximum - 1}}));
  map = TimingMap{{0, timing(kMinimum + 1, 0)}};
  EXPECT_THROW(Scanner::minusLatchTiming(timing(0, 5), map), Orvek::InvalidRequest);
}

TEST(TimingMapOperations, CombineWidensEntries) {
  using E = std::tuple<unsigned long, int, int>;
  TimingMap target;
  const TimingMap source{{0, timing(3, 5)}, {2, timing(1, 1)}};
  Scanner::combine(source, target);
  EXPECT_EQ(target, source);
  Scanner::combine(TimingMap{{0, timing(kUndefined, 7)}, {4, timing(2, 2)}}, target);
  EXPECT_EQ(entries(target), (std::vector<E>{{0, 3, 7}, {2, 1, 1}, {4, 2, 2}}));
}

TEST(TimingMapOperations, RekeysAndFiltersByMasks) {
  using E = std::tuple<unsigned long, int, int>;
  Mask::reset(3);
  const Mask a = Mask::getBasic(1);
  const Mask b = Mask::getBasic(2);
  const Mask c = Mask::getBasic(3);
  const Mask ab = a | b;
  const Mask bc = b | c;
  const TimingMap base{{0, timing(50, 60)},
                       {a.getNumber(), timing(40, 90)},
                       {ab.getNumber(), timing(55, 70)},
                       {c.getNumber(), timing(kUndefined, 100)}};

  // The empty mask merges everything into key 0.
  TimingMap map = base;
  Scanner::sensibilize(Mask(), map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 40, 100}}));
  // Keeping only bit b: a and c collapse into 0, ab becomes b.
  map = base;
  Scanner::sensibilize(b, map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 40, 100}, {b.getNumber(), 55, 70}}));

  // mingle with the empty mask changes nothing; with a it merges the
  // entries that differ only by a.
  map = base;
  Scanner::mingle(Mask(), map);
  EXPECT_EQ(map, base);
  Scanner::mingle(a, map);
  EXPECT_EQ(entries(map), (std::vector<E>{{a.getNumber(), 40, 90},
                                          {ab.getNumber(), 55, 70},
                                          {(a | c).getNumber(), kUndefined, 100}}));

  // filter erases the entries meeting the mask; the empty mask does nothing.
  map = base;
  Scanner::filter(Mask(), map);
  EXPECT_EQ(map, base);
  Scanner::filter(bc, map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 50, 60}, {a.getNumber(), 40, 90}}));
  map = base;
  Scanner::filter(bc, bc, map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 50, 60}, {a.getNumber(), 40, 90}}));

  // With two different masks nothing is erased: maxima under the first
  // become Minimum, minima under the second Maximum.
  map = base;
  Scanner::filter(a, b, map);
  EXPECT_EQ(entries(map), (std::vector<E>{{0, 50, 60},
                                          {a.getNumber(), 40, kMinimum},
                                          {c.getNumber(), kUndefined, 100},
                                          {ab.getNumber(), kMaximum, kMinimum}}));
}
