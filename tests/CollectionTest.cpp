// The for-each walk of collection views.
#include <Orvek/Collection.h>

#include "Support.h"

#include <algorithm>
#include <set>

namespace {

class Node {
 public:
  Node(int id, bool clock) : _id(id), _clock(clock) {}
  int getId() const { return _id; }
  bool isClock() const { return _clock; }

 private:
  int _id;
  bool _clock;
};

}  // namespace

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
