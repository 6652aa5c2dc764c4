#pragma once

#include <Morva/Delay.h>
#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// A clock waveform: a name, a period and the instants of the rising and the
// falling edge within one period. The derived quantities are plain 32-bit
// arithmetic on the encodings (wrapping, with no treatment of the delay
// codes):
//   shift      = rising
//   high width = falling - rising
//   low width  = period - (falling - rising)
//   duty ratio = (high width * 100) / period, in whole percent, truncated.
// A wave whose period is not positive has a duty ratio of 50, the ratio of
// the default waveform, rather than a division by zero or by a code.
class MORVA_API Wave : public Orvek::Stuff {
 public:
  // No name, an Undefined period, rising at 0 and an Undefined falling edge.
  Wave() = default;
  Wave(const std::string& name, const Delay& period, const Delay& rising, const Delay& falling);
  // Falls half a period (truncated) after rising.
  Wave(const std::string& name, const Delay& period, const Delay& rising);
  // Rises at 0 and falls half a period (truncated) later.
  Wave(const std::string& name, const Delay& period);
  Wave(const Wave&) = default;
  Wave& operator=(const Wave&) = default;
  ~Wave() override = default;

  const std::string& getName() const { return _name; }
  Delay getPeriod() const { return Delay(_period); }
  Delay getRising() const { return Delay(_rising); }
  Delay getFalling() const { return Delay(_falling); }
  Delay getShift() const { return Delay(_rising); }
  Delay getHighWidth() const { return Delay(getWrappedDifference(_falling, _rising)); }
  Delay getLowWidth() const {
    return Delay(getWrappedDifference(_period, getWrappedDifference(_falling, _rising)));
  }
  long getDutyRatio() const;

  // Named and with a period.
  bool isDefined() const;
  // Defined, 0 <= rising < falling, and the high phase strictly shorter than
  // the period.
  bool isAvailable() const;

  bool operator==(const Wave& other) const;
  bool operator!=(const Wave& other) const { return !(*this == other); }
  // By name in alphabetical order, then by period, rising and falling.
  bool operator<(const Wave& other) const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static int32_t getWrappedSum(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  }
  static int32_t getWrappedDifference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
  }

  // The encoding of an Undefined delay.
  static constexpr int32_t _undefined = INT32_MIN;

  std::string _name;
  int32_t _period = _undefined;
  int32_t _rising = 0;
  int32_t _falling = _undefined;
};

}  // namespace Morva
