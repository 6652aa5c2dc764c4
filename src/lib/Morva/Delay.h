#pragma once

#include <Morva/Export.h>
#include <Morva/Frequency.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// A signed 32-bit time in picoseconds. Three encodings are codes rather than
// times: Undefined (-2^31, the default), Minimum (-2^31 + 1, below every
// time) and Maximum (2^31 - 1, above every time). Comparisons work on the
// raw encoding, so Undefined < Minimum < every time < Maximum.
//
// Arithmetic is bounded: Undefined on either side gives Undefined, Minimum
// and Maximum count as their plain integers, and a result that would leave
// Minimum .. Maximum raises "Delay overflow" or "Delay underflow".
//
// A delay is passed and stored by value throughout propagation, so
// construction, comparison and arithmetic are inline and allocate nothing.
class MORVA_API Delay : public Orvek::Stuff {
 public:
  Delay() = default;
  // Takes the encoding unchanged, codes included.
  Delay(int encoding) : _encoding(encoding) {}
  // Accepts exactly the canonical decimal integers ("250", "-40", "0");
  // any other text gives Undefined.
  Delay(const std::string& text);
  Delay(const Delay&) = default;
  Delay& operator=(const Delay&) = default;
  ~Delay() override = default;

  operator int() const { return _encoding; }
  int getValue() const { return _encoding; }

  Delay operator+(const Delay& other) const { return Delay(getSum(other, "operator+")); }
  Delay operator-(const Delay& other) const { return Delay(getDifference(other, "operator-")); }
  Delay& operator+=(const Delay& other) {
    _encoding = getSum(other, "operator+=");
    return *this;
  }
  Delay& operator-=(const Delay& other) {
    _encoding = getDifference(other, "operator-=");
    return *this;
  }
  // Minimum and Maximum exchange; Undefined stays Undefined.
  Delay operator-() const { return Delay(_encoding == _undefined ? _undefined : -_encoding); }

  bool operator==(const Delay& other) const { return _encoding == other._encoding; }
  bool operator!=(const Delay& other) const { return _encoding != other._encoding; }
  bool operator<(const Delay& other) const { return _encoding < other._encoding; }
  // Comparisons with a plain encoding, which would otherwise be ambiguous
  // between these operators and the built-in ones reached through int.
  bool operator==(int encoding) const { return _encoding == encoding; }
  bool operator!=(int encoding) const { return _encoding != encoding; }
  bool operator<(int encoding) const { return _encoding < encoding; }

  // This delay taken as a period: Undefined for a period below 1 ps.
  Frequency getFrequency() const;

  static const Delay& getNone();
  static const Delay& getMinimum();
  static const Delay& getMaximum();
  static const Delay& getEpsilon();
  static const Delay& getUndefined();

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static constexpr int32_t _undefined = INT32_MIN;
  static constexpr int32_t _minimum = INT32_MIN + 1;
  static constexpr int32_t _maximum = INT32_MAX;

  [[noreturn]] static void raiseOverflow(const char* operation);
  [[noreturn]] static void raiseUnderflow(const char* operation);

  int32_t getSum(const Delay& other, const char* operation) const {
    const int32_t a = _encoding;
    const int32_t b = other._encoding;
    if (a == _undefined || b == _undefined) return _undefined;
    if (b >= 0) {
      if (a > _maximum - b) raiseOverflow(operation);
    } else if (a < -_maximum - b) {
      raiseUnderflow(operation);
    }
    return a + b;
  }

  int32_t getDifference(const Delay& other, const char* operation) const {
    const int32_t a = _encoding;
    const int32_t b = other._encoding;
    if (a == _undefined || b == _undefined) return _undefined;
    if (b >= 0) {
      if (a < b - _maximum) raiseUnderflow(operation);
    } else if (a > b + _maximum) {
      raiseOverflow(operation);
    }
    return a - b;
  }

  int32_t _encoding = _undefined;
};

// One 32-bit encoding beside the base's table pointer.
static_assert(sizeof(Delay) <= 2 * sizeof(void*), "a Delay must stay a small value");

}  // namespace Morva
