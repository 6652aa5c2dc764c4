#pragma once

#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// A frequency in hertz, used to show clock periods in reports. The codes
// Minimum, Maximum and Undefined are the 32-bit values 1, 2^32 - 2 and
// 2^32 - 1 held in the 64-bit field; the default is None (0).
class MORVA_API Frequency : public Orvek::Stuff {
 public:
  Frequency() = default;
  Frequency(unsigned long encoding) : _encoding(encoding) {}
  Frequency(const Frequency&) = default;
  Frequency& operator=(const Frequency&) = default;
  ~Frequency() override = default;

  operator unsigned long() const { return _encoding; }

  bool operator==(const Frequency& other) const { return _encoding == other._encoding; }
  bool operator!=(const Frequency& other) const { return _encoding != other._encoding; }
  bool operator<(const Frequency& other) const { return _encoding < other._encoding; }

  static const Frequency& getNone();
  static const Frequency& getMinimum();
  static const Frequency& getMaximum();
  static const Frequency& getUndefined();

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static constexpr unsigned long _minimumEncoding = 1UL;
  static constexpr unsigned long _maximumEncoding = 4294967294UL;
  static constexpr unsigned long _undefinedEncoding = 4294967295UL;

  unsigned long _encoding = 0;
};

}  // namespace Morva
