#include <Morva/Pole.h>
#include <Morva/PoleRegistry.h>
#include <Orvek/Text.h>

#include <algorithm>
#include <functional>

namespace Morva {

namespace {

// Walks one order of the poles, keeping it alive as long as the walk.
class OrderLocator : public Orvek::Cloneable<OrderLocator, Orvek::LocatorDriver<Pole*>> {
 public:
  OrderLocator(std::shared_ptr<const std::vector<Pole*>> order, bool reverse)
      : _order(std::move(order)), _reverse(reverse) {}
  Pole* getCurrent() const override {
    return (*_order)[_reverse ? _order->size() - 1 - _index : _index];
  }
  bool isValid() const override { return _index < _order->size(); }
  void progress() override { ++_index; }

 private:
  std::shared_ptr<const std::vector<Pole*>> _order;
  bool _reverse;
  std::size_t _index = 0;
};

class RegistryDriver : public Orvek::Cloneable<RegistryDriver, Orvek::CollectionDriver<Pole*>> {
 public:
  explicit RegistryDriver(const PoleRegistry& registry) : _registry(&registry) {}
  Orvek::Locator<Pole*> getLocator() const override {
    return Orvek::Locator<Pole*>::make<OrderLocator>(_registry->getOrder(), false);
  }
  Orvek::Locator<Pole*> getReverseLocator() const override {
    return Orvek::Locator<Pole*>::make<OrderLocator>(_registry->getOrder(), true);
  }
  unsigned long getCount() const override { return _registry->size(); }
  bool isEmpty() const override { return _registry->empty(); }
  bool hasCount(unsigned long count) const override { return _registry->size() == count; }

 private:
  const PoleRegistry* _registry;
};

}  // namespace

std::size_t PoleRegistry::NameHash::operator()(std::string_view name) const {
  return std::hash<std::string_view>()(name);
}

std::size_t PoleRegistry::NameHash::operator()(const Pole* pole) const {
  return (*this)(std::string_view(pole->getName()));
}

bool PoleRegistry::NameEqual::operator()(const Pole* a, const Pole* b) const {
  return a->getName() == b->getName();
}

bool PoleRegistry::NameEqual::operator()(std::string_view name, const Pole* pole) const {
  return name == pole->getName();
}

bool PoleRegistry::NameEqual::operator()(const Pole* pole, std::string_view name) const {
  return name == pole->getName();
}

Pole* PoleRegistry::find(std::string_view name) const {
  auto found = _index.find(name);
  return found == _index.end() ? nullptr : *found;
}

void PoleRegistry::insert(Pole* pole) {
  auto [place, added] = _index.insert(pole);
  if (!added) {
    _index.erase(place);
    _index.insert(pole);
  }
  _order.reset();
}

void PoleRegistry::erase(Pole* pole) {
  auto found = _index.find(std::string_view(pole->getName()));
  if (found == _index.end() || *found != pole) return;
  _index.erase(found);
  _order.reset();
}

std::shared_ptr<const std::vector<Pole*>> PoleRegistry::getOrder() const {
  if (!_order) {
    auto order = std::make_shared<std::vector<Pole*>>(_index.begin(), _index.end());
    std::sort(order->begin(), order->end(), [](const Pole* a, const Pole* b) {
      return Orvek::isAlphaLess(a->getName(), b->getName());
    });
    _order = std::move(order);
  }
  return _order;
}

Poles PoleRegistry::getPoles() const {
  return Poles::make<RegistryDriver>(*this);
}

}  // namespace Morva
