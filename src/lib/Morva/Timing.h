#pragma once

#include <Morva/Delay.h>
#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// The (minimum, maximum) pair of delays that propagation carries through the
// graph, one component for the shortest and one for the longest paths. The
// components are independent: nothing keeps minimum <= maximum.
//
// Arithmetic is plain 32-bit arithmetic on each component, wrapping modulo
// 2^32 with no treatment of the delay codes; its users decide what a code
// means for them.
class MORVA_API Timing : public Orvek::Stuff {
 public:
  Timing() = default;
  Timing(const Delay& minimum, const Delay& maximum)
      : _minimumDelay(minimum.getValue()), _maximumDelay(maximum.getValue()) {}
  Timing(const Timing&) = default;
  Timing& operator=(const Timing&) = default;
  ~Timing() override = default;

  Delay getMinimumDelay() const { return Delay(_minimumDelay); }
  Delay getMaximumDelay() const { return Delay(_maximumDelay); }
  void setMinimumDelay(const Delay& delay) { _minimumDelay = delay.getValue(); }
  void setMaximumDelay(const Delay& delay) { _maximumDelay = delay.getValue(); }

  // Widens this timing to cover `other`; Undefined components of `other`
  // are ignored and Undefined components of this one take other's.
  void combine(const Timing& other) {
    if (other._minimumDelay != _undefined &&
        (_minimumDelay == _undefined || other._minimumDelay < _minimumDelay))
      _minimumDelay = other._minimumDelay;
    if (other._maximumDelay != _undefined &&
        (_maximumDelay == _undefined || _maximumDelay < other._maximumDelay))
      _maximumDelay = other._maximumDelay;
  }

  Timing operator+(const Timing& other) const {
    return Timing(getWrappedSum(_minimumDelay, other._minimumDelay),
                  getWrappedSum(_maximumDelay, other._maximumDelay));
  }
  Timing operator-(const Timing& other) const {
    return Timing(getWrappedDifference(_minimumDelay, other._minimumDelay),
                  getWrappedDifference(_maximumDelay, other._maximumDelay));
  }
  Timing& operator+=(const Timing& other) {
    _minimumDelay = getWrappedSum(_minimumDelay, other._minimumDelay);
    _maximumDelay = getWrappedSum(_maximumDelay, other._maximumDelay);
    return *this;
  }
  Timing& operator-=(const Timing& other) {
    _minimumDelay = getWrappedDifference(_minimumDelay, other._minimumDelay);
    _maximumDelay = getWrappedDifference(_maximumDelay, other._maximumDelay);
    return *this;
  }
  // Negates each component in place; the components are not exchanged.
  Timing operator-() const {
    return Timing(getWrappedDifference(0, _minimumDelay), getWrappedDifference(0, _maximumDelay));
  }

  bool operator==(const Timing& other) const {
    return _minimumDelay == other._minimumDelay && _maximumDelay == other._maximumDelay;
  }
  bool operator!=(const Timing& other) const { return !(*this == other); }
  bool operator<(const Timing& other) const {
    if (_minimumDelay != other._minimumDelay) return _minimumDelay < other._minimumDelay;
    return _maximumDelay < other._maximumDelay;
  }

  bool isMinimum() const { return _minimumDelay == _minimum && _maximumDelay == _minimum; }
  bool isMaximum() const { return _minimumDelay == _maximum && _maximumDelay == _maximum; }
  bool isUndefined() const { return _minimumDelay == _undefined || _maximumDelay == _undefined; }

  static const Timing& getNone();
  static const Timing& getMinimum();
  static const Timing& getMaximum();
  static const Timing& getUndefined();

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static constexpr int32_t _undefined = INT32_MIN;
  static constexpr int32_t _minimum = INT32_MIN + 1;
  static constexpr int32_t _maximum = INT32_MAX;

  // a + b and a - b modulo 2^32, computed unsigned so that wrapping is defined.
  static int32_t getWrappedSum(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  }
  static int32_t getWrappedDifference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
  }

  int32_t _minimumDelay = _undefined;
  int32_t _maximumDelay = _undefined;
};

}  // namespace Morva
