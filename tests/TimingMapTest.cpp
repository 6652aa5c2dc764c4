#include <Morva/Delay.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>
#include <Morva/PoleTimingMap.h>
#include <Morva/Scanner.h>
#include <Morva/Timing.h>
#include <Morva/TimingMap.h>
#include <Orvek/Exception.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
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

// A timing map against std::map under random operations, over both of its
// layouts (one entry inline, several on the heap).
TEST(TimingMap, AgreesWithStdMapUnderRandomOperations) {
  std::mt19937 random(12345);
  TimingMap map, other;
  Reference reference, otherReference;
  for (int step = 0; step < 20000; ++step) {
    const unsigned long key = random() % 9;
    const Timing value = timing(static_cast<int>(random() % 100), static_cast<int>(random() % 100));
    switch (random() % 9) {
      case 0:
      case 1:
        map[key] = value;
        reference[key] = value;
        break;
      case 2:
        EXPECT_EQ(map.erase(key), reference.erase(key));
        break;
      case 3: {
        auto found = map.find(key);
        auto expected = reference.find(key);
        ASSERT_EQ(found == map.end(), expected == reference.end());
        ASSERT_EQ(map.contains(key), expected != reference.end());
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
        auto bound = map.lower_bound(key);
        auto expected = reference.lower_bound(key);
        ASSERT_EQ(bound == map.end(), expected == reference.end());
        if (bound != map.end()) {
          EXPECT_EQ(bound->first, expected->first);
        }
        break;
      }
      case 5:
        swap(map, other);
        std::swap(reference, otherReference);
        break;
      case 6: {
        TimingMap moved(std::move(map));
        EXPECT_TRUE(map.empty());
        map = random() % 2 ? moved : std::move(moved);
        break;
      }
      case 7:
        if (random() % 8 == 0) {
          map.assign(key, value);
          reference = {{key, value}};
        } else {
          other[key] = value;
          otherReference[key] = value;
        }
        break;
      default:
        if (random() % 50 == 0) {
          map.clear();
          reference.clear();
        }
    }
    ASSERT_EQ(map.size(), reference.size());
    ASSERT_EQ(entries(map), entries(reference));
    ASSERT_EQ(entries(other), entries(otherReference));
    ASSERT_EQ(map == other, reference == otherReference);
  }
  // A new entry starts (Undefined, Undefined).
  EXPECT_EQ(TimingMap()[7], Timing());
}

// The table of poles against a std::map ordered by stamps, under random
// writes, replacements, look-ups, trims, copies and moves, while it grows
// from a few poles to hundreds.
TEST(PoleTimingMap, AgreesWithAStampOrderedMapUnderRandomOperations) {
  using Model = std::map<Pole*, Reference, Morva::Object::StampLess>;
  std::mt19937 random(7);
  std::vector<Pole*> poles;
  // Two poles share a stamp: the order falls back to their addresses.
  for (int index = 0; index < 300; ++index) {
    if (index == 150 || index == 151) Morva::Object::setRequiredStamp(900000);
    poles.push_back(Pole::createMain("p" + std::to_string(index)));
  }
  const auto randomMap = [&random] {
    TimingMap map;
    const int keys = random() % 3 == 0 ? 1 + random() % 3 : 1;
    for (int index = 0; index < keys; ++index)
      map[index == 0 && random() % 4 ? 0 : random() % 5] =
          timing(static_cast<int>(random() % 50), static_cast<int>(random() % 50));
    return map;
  };
  const auto toReference = [](const TimingMap& map) {
    Reference result;
    for (const auto& [key, value] : map) result[key] = value;
    return result;
  };
  // Look-ups, which leave the table as it is.
  const auto lookUp = [&](const PoleTimingMap& table, const Model& model) {
    ASSERT_EQ(table.size(), model.size());
    for (Pole* pole : poles) {
      TimingMap holder{{0, timing(1, 1)}, {3, timing(2, 2)}};
      const TimingMap* found = table.find(pole, holder);
      ASSERT_EQ(found != nullptr, model.count(pole) == 1) << pole->getName();
      ASSERT_EQ(table.contains(pole), model.count(pole) == 1);
      if (found) {
        ASSERT_EQ(entries(*found), entries(model.at(pole))) << pole->getName();
      }
    }
  };
  // Look-ups, then the walk in stamp order.
  const auto check = [&](const PoleTimingMap& table, const Model& model) {
    lookUp(table, model);
    auto expected = model.begin();
    for (const auto& [pole, map] : table) {
      ASSERT_EQ(pole, expected->first) << pole->getName() << " for " << expected->first->getName();
      ASSERT_EQ(entries(map), entries(expected->second)) << pole->getName();
      ++expected;
    }
  };
  for (int round = 0; round < 6; ++round) {
    PoleTimingMap table;
    Model model;
    const std::size_t reach = round < 3 ? 40 : poles.size();
    if (round % 2) table.reserve(reach);
    for (int step = 0; step < 1500; ++step) {
      Pole* pole = poles[random() % reach];
      TimingMap map = randomMap();
      switch (random() % 6) {
        case 0:
          table.tryEmplace(pole->getNumber(), TimingMap(map));
          model.emplace(pole, toReference(map));
          break;
        case 1:
          table.assign(pole->getNumber(), TimingMap(map));
          model[pole] = toReference(map);
          break;
        case 2: {
          // Writes through a position and through the reference it gives.
          TimingMap& written = table.getAt(table.getPosition(pole));
          for (const auto& [key, value] : map) written[key] = value;
          for (const auto& [key, value] : map) model[pole][key] = value;
          break;
        }
        case 3: {
          const unsigned long key = random() % 4;
          const Timing value = timing(1, static_cast<int>(random() % 9));
          table[pole][key] = value;
          model[pole][key] = value;
          break;
        }
        case 4: {
          // Positions survive a trim.
          std::vector<std::size_t> positions;
          for (const auto& entry : model) positions.push_back(table.findPosition(entry.first));
          if (random() % 2) table.shrink_to_fit();
          std::size_t index = 0;
          for (const auto& entry : model)
            ASSERT_EQ(table.findPosition(entry.first), positions[index++]);
          EXPECT_EQ(table.findPosition(pole) == PoleTimingMap::npos, model.count(pole) == 0);
          break;
        }
        default:
          // Walking the table sorts it; entries made later keep the order.
          if (random() % 20 == 0) check(table, model);
      }
    }
    check(table, model);
    PoleTimingMap copy = table;
    PoleTimingMap moved(std::move(table));
    EXPECT_TRUE(table.empty());
    check(moved, model);
    moved.clear();
    EXPECT_FALSE(moved.contains(poles[0]));
    // A cleared table is filled again from scratch.
    for (const auto& [pole, map] : model) {
      TimingMap copied;
      for (const auto& [key, value] : map) copied[key] = value;
      moved.tryEmplace(pole->getNumber(), std::move(copied));
    }
    check(moved, model);
    check(copy, model);
    // A pole made after the table was filled is entered too.
    Pole* late = Pole::createMain("late" + std::to_string(round));
    copy[late][0] = timing(0, round);
    TimingMap holder;
    EXPECT_EQ(entries(*copy.find(late, holder)), entries(Reference{{0, timing(0, round)}}));
    EXPECT_EQ(copy.size(), model.size() + 1);
    late->destroy();
  }
  for (Pole* pole : poles) pole->destroy();
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
