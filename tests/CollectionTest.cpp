// Collection views, their locators and the for-each walk.
#include <Orvek/Collection.h>

#include "Support.h"

#include <algorithm>
#include <memory>
#include <set>

namespace {

class Node {
 public:
  Node(int id, bool clock) : _id(id), _clock(clock) {}
  virtual ~Node() = default;
  int getId() const { return _id; }
  bool isClock() const { return _clock; }
  bool isIn(const std::set<int>& ids) const { return ids.count(_id) > 0; }

 private:
  int _id;
  bool _clock;
};

class Port : public Node {
 public:
  using Node::Node;
};

template <class T>
std::vector<T> walk(Orvek::Locator<T> locator) {
  std::vector<T> elements;
  for (; locator.isValid(); locator.progress()) elements.push_back(locator.getCurrent());
  return elements;
}

// Checks every query of a collection against the elements it must answer.
template <class T>
void expectElements(const Orvek::Collection<T>& collection, const std::vector<T>& expected) {
  const auto n = static_cast<unsigned long>(expected.size());
  EXPECT_EQ(walk(collection.getLocator()), expected);
  EXPECT_EQ(Support::toVector(collection), expected);
  EXPECT_EQ(walk(collection.getReverseLocator()),
            std::vector<T>(expected.rbegin(), expected.rend()));
  auto random = walk(collection.getRandomLocator());
  auto sorted = expected;
  std::sort(random.begin(), random.end(), std::less<T>());
  std::sort(sorted.begin(), sorted.end(), std::less<T>());
  EXPECT_EQ(random, sorted);
  EXPECT_EQ(collection.getCount(), n);
  EXPECT_EQ(collection.isEmpty(), expected.empty());
  EXPECT_EQ(collection.getFirst(), expected.empty() ? T{} : expected.front());
  EXPECT_EQ(collection.getLast(), expected.empty() ? T{} : expected.back());
  for (unsigned long i = 0; i < n; ++i) EXPECT_EQ(collection.getAt(i), expected[i]) << i;
  EXPECT_EQ(collection.getAt(n), T{});
  EXPECT_EQ(collection.getAt(n + 5), T{});
  EXPECT_TRUE(collection.hasCount(n));
  EXPECT_FALSE(collection.hasCount(n + 1));
  if (n > 0) {
    EXPECT_FALSE(collection.hasCount(n - 1));
  }
  EXPECT_EQ(collection._getLabel(), "{" + std::to_string(n) + "}");
}

class Graph : public testing::Test {
 protected:
  void SetUp() override {
    for (int id = 0; id < 6; ++id) {
      if (id % 2)
        _owned.push_back(std::make_unique<Port>(id, id < 3));
      else
        _owned.push_back(std::make_unique<Node>(id, id < 3));
      _nodes.push_back(_owned.back().get());
    }
  }
  Node* node(int id) const { return _nodes[static_cast<std::size_t>(id)]; }

  std::vector<std::unique_ptr<Node>> _owned;
  std::vector<Node*> _nodes;
};

}  // namespace

TEST_F(Graph, FilteringKindsSkipRejectedElements) {
  const Orvek::VectorCollection<Node*> all(_nodes);
  const Orvek::MemberPredicate<Node, bool> clock(&Node::isClock);
  expectElements<Node*>(Orvek::SubsetCollection<Node*, bool>(all, clock, true),
                        {node(0), node(1), node(2)});
  expectElements<Node*>(Orvek::SubsetCollection<Node*, bool>(all, clock, false),
                        {node(3), node(4), node(5)});
  const Orvek::NotPredicate<Node*, bool> notClock(clock);
  expectElements<Node*>(Orvek::SubsetCollection<Node*, bool>(all, notClock, true),
                        {node(3), node(4), node(5)});
  const Orvek::MemberDatumPredicate<Node, std::set<int>> in(&Node::isIn);
  // The first and last elements are rejected: skipped on creation and at the end.
  expectElements<Node*>(Orvek::SubsetCollection<Node*, std::set<int>>(all, in, {1, 4}),
                        {node(1), node(4)});
  expectElements<Node*>(Orvek::SubsetCollection<Node*, std::set<int>>(all, in, {}), {});

  expectElements<Node*>(Orvek::NotCollection<Node*>(all, node(2)),
                        {node(0), node(1), node(3), node(4), node(5)});
  expectElements<Node*>(Orvek::NotCollection<Node*>(all, node(0)),
                        {node(1), node(2), node(3), node(4), node(5)});
  const std::vector<Node*> one = {node(3)};
  expectElements<Node*>(Orvek::NotCollection<Node*>(Orvek::VectorCollection<Node*>(one), node(3)),
                        {});
  expectElements<Node*>(Orvek::NotCollection<Node*>(all, nullptr), _nodes);

  const std::vector<Node*> mixed = {nullptr, node(0), node(1), nullptr, node(2), node(3)};
  expectElements<Port*>(Orvek::TypeCollection<Port, Node>(Orvek::VectorCollection<Node*>(mixed)),
                        {static_cast<Port*>(node(1)), static_cast<Port*>(node(3))});
  const std::vector<Node*> plain = {node(0), node(2)};
  expectElements<Port*>(Orvek::TypeCollection<Port, Node>(Orvek::VectorCollection<Node*>(plain)),
                        {});
  const Orvek::TypeCollection<Port, Node> ports(all);
  EXPECT_EQ(ports.getFirst()->getId(), 1);
  EXPECT_EQ(ports.getLast()->getId(), 5);
}

TEST(Collection, TheWalkBodyMayEraseTheCurrentElement) {
  std::set<int> set = {1, 2, 3, 4, 5};
  std::vector<int> seen;
  for (int value : Orvek::SetCollection<int>(set)) {
    seen.push_back(value);
    set.erase(value);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(set.empty());

  // Destroying owned objects while walking a filtered view of them.
  std::set<Node*> nodes;
  for (int id = 0; id < 6; ++id) nodes.insert(new Node(id, id % 3 == 0));
  const Orvek::MemberPredicate<Node, bool> clock(&Node::isClock);
  std::vector<int> destroyed;
  for (Node* node :
       Orvek::SubsetCollection<Node*, bool>(Orvek::SetCollection<Node*>(nodes), clock, false)) {
    destroyed.push_back(node->getId());
    nodes.erase(node);
    delete node;
  }
  std::sort(destroyed.begin(), destroyed.end());
  EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 4, 5}));
  EXPECT_EQ(nodes.size(), 2u);
  for (Node* node : Orvek::SetCollection<Node*>(nodes)) {
    EXPECT_TRUE(node->isClock());
    nodes.erase(node);
    delete node;
  }
  EXPECT_TRUE(nodes.empty());
}
