#pragma once

#include <Morva/Export.h>
#include <Morva/GraphEpoch.h>
#include <Orvek/Stuff.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Morva {

// Base of every identity-bearing thing: a creation stamp that orders sets
// in creation order, six flag bits for subclass codes and the create /
// destroy protocol. Layout of `_flags`: bit 0 the destruction mark, bits 1
// to 6 the flags, bits 7 to 63 the stamp.
class MORVA_API Object : public Orvek::Stuff {
 public:
  static unsigned long _defaultStamp;
  static unsigned long _requiredStamp;
  static const unsigned long _maximumStamp;

  // Creation order of objects; null sorts as stamp 0, equal stamps by address.
  struct MORVA_API StampLess {
    bool operator()(const Object* a, const Object* b) const {
      unsigned long sa = a ? a->getStamp() : 0;
      unsigned long sb = b ? b->getStamp() : 0;
      if (sa != sb) return sa < sb;
      return a < b;
    }
  };

  static void preCreate();
  static void setDefaultStamp(unsigned long stamp);
  static void setRequiredStamp(unsigned long stamp);

  void destroy();

  unsigned long getStamp() const { return _flags >> 7; }
  bool isDestroying() const { return _flags & 1UL; }
  bool getFlag(unsigned long number) const;
  void setFlag(unsigned long number, bool value);

  virtual std::string getAlias() const = 0;
  virtual bool isDestroyable() const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 protected:
  Object();
  ~Object() override;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  void postCreate();
  virtual void preDestroy();

  // Unchecked flag access for subclasses that pack their codes (1 to 6).
  bool flag(unsigned number) const { return (_flags >> number) & 1UL; }
  // A flag the timing graph is made of (modes, types, purposes, activity):
  // its change moves the graph's epoch.
  void setGraphFlagBit(unsigned number, bool value) {
    GraphEpoch::bump();
    setFlagBit(number, value);
  }
  void setFlagBit(unsigned number, bool value) {
    if (value)
      _flags |= 1UL << number;
    else
      _flags &= ~(1UL << number);
  }

 private:
  unsigned long _flags;
};

// The positions of `count` objects in `Object::StampLess` order, `object(i)`
// giving the i-th. Each stamp is read once: sorting the objects themselves
// reads two a comparison, a cache miss each in a large set.
template <class Get>
std::vector<uint32_t> getStampOrder(std::size_t count, Get object) {
  std::vector<std::pair<unsigned long, uint32_t>> keys;
  keys.reserve(count);
  for (uint32_t position = 0; position < count; ++position) {
    const Object* each = object(position);
    keys.emplace_back(each ? each->getStamp() : 0, position);
  }
  std::sort(keys.begin(), keys.end(), [&object](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return Object::StampLess()(object(a.second), object(b.second));
  });
  std::vector<uint32_t> order;
  order.reserve(count);
  for (const auto& key : keys) order.push_back(key.second);
  return order;
}

}  // namespace Morva
