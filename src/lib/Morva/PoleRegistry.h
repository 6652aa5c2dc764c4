#pragma once

#include <Morva/Collections.h>
#include <Morva/Export.h>

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Morva {

class Pole;

// The poles of one side of the analyzer (main or dual) by name: found by
// hashing, listed in natural name order (`Orvek::isAlphaLess`). The order
// is worked out when it is first asked for after a change, and each walk
// keeps the order it started with, so poles may be created or destroyed
// while the poles are walked.
class MORVA_API PoleRegistry {
 public:
  PoleRegistry() = default;
  PoleRegistry(const PoleRegistry&) = delete;
  PoleRegistry& operator=(const PoleRegistry&) = delete;

  Pole* find(std::string_view name) const;
  // Files the pole under its name, in place of any pole of that name.
  void insert(Pole* pole);
  // Removes the pole if it is the one filed under its name.
  void erase(Pole* pole);
  std::size_t size() const { return _index.size(); }
  bool empty() const { return _index.empty(); }

  // The poles in name order, as a view and as the list itself.
  Poles getPoles() const;
  std::shared_ptr<const std::vector<Pole*>> getOrder() const;
  // Calls `visit` on every pole in no particular order, for work whose
  // result does not depend on it; `visit` must not add or remove poles.
  template <class Visit>
  void forEach(Visit visit) const {
    for (Pole* pole : _index) visit(pole);
  }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
    std::size_t operator()(const Pole* pole) const;
  };
  struct NameEqual {
    using is_transparent = void;
    bool operator()(const Pole* a, const Pole* b) const;
    bool operator()(std::string_view name, const Pole* pole) const;
    bool operator()(const Pole* pole, std::string_view name) const;
  };

  std::unordered_set<Pole*, NameHash, NameEqual> _index;
  mutable std::shared_ptr<const std::vector<Pole*>> _order;
};

}  // namespace Morva
