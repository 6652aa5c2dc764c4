#include <Morva/Delay.h>
#include <Orvek/Debug.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/Delay";
}  // namespace

Delay::Delay(const std::string& text) {
  // The canonical texts are those that read back exactly as the integer
  // they give: in range, no sign but a leading "-", no leading zero, and
  // no "-0".
  int32_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return;
  const std::size_t first = text[0] == '-' ? 1 : 0;
  if (text[first] == '0' && text.size() != 1) return;
  _encoding = value;
}

void Delay::raiseOverflow(const char* operation) {
  Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Delay overflow");
}

void Delay::raiseUnderflow(const char* operation) {
  Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Delay underflow");
}

Frequency Delay::getFrequency() const {
  if (_encoding < 1) return Frequency::getUndefined();
  // The order of the operations is part of the result: 1000 ps reads as
  // 999999999 Hz.
  const double seconds = _encoding / 1e12;
  return Frequency(static_cast<unsigned long>(1.0 / seconds));
}

const Delay& Delay::getNone() {
  static const Delay none(0);
  return none;
}

const Delay& Delay::getMinimum() {
  static const Delay minimum(_minimum);
  return minimum;
}

const Delay& Delay::getMaximum() {
  static const Delay maximum(_maximum);
  return maximum;
}

const Delay& Delay::getEpsilon() {
  static const Delay epsilon(1);
  return epsilon;
}

const Delay& Delay::getUndefined() {
  static const Delay undefined;
  return undefined;
}

std::string Delay::_getLabel() const {
  if (_encoding == _undefined) return "undefined";
  if (_encoding == _minimum) return "minimum";
  if (_encoding == _maximum) return "maximum";
  if (-999 <= _encoding && _encoding <= 999) return Orvek::getLabel(_encoding) + "ps";
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", _encoding / 1000.0);
  return std::string(text) + "ns";
}

Orvek::Slot* Delay::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Delay>(name, *this);
}

Orvek::Record* Delay::_getRecord() const {
  if (!_hasRecord()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Delay");
  record->add("Encoding", _encoding);
  return record;
}

bool Delay::_hasRecord() const {
  return Orvek::isDebug();
}

}  // namespace Morva
