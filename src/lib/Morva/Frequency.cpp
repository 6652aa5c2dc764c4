#include <Morva/Frequency.h>
#include <Orvek/Debug.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <cstdio>

namespace Morva {

namespace {

std::string getScaled(double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return std::string(text) + unit;
}

}  // namespace

const Frequency& Frequency::getNone() {
  static const Frequency none;
  return none;
}

const Frequency& Frequency::getMinimum() {
  static const Frequency minimum(_minimumEncoding);
  return minimum;
}

const Frequency& Frequency::getMaximum() {
  static const Frequency maximum(_maximumEncoding);
  return maximum;
}

const Frequency& Frequency::getUndefined() {
  static const Frequency undefined(_undefinedEncoding);
  return undefined;
}

std::string Frequency::_getLabel() const {
  if (_encoding == _undefinedEncoding) return "undefined";
  if (_encoding == _minimumEncoding) return "minimum";
  if (_encoding == _maximumEncoding) return "maximum";
  if (_encoding <= 999UL) return Orvek::getLabel(_encoding) + "Hz";
  if (_encoding <= 999999UL) return getScaled(static_cast<double>(_encoding) / 1000.0, "KHz");
  if (_encoding <= 999999999UL) return getScaled(static_cast<double>(_encoding) / 1e6, "MHz");
  return getScaled(static_cast<double>(_encoding) / 1e9, "GHz");
}

Orvek::Slot* Frequency::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Frequency>(name, *this);
}

Orvek::Record* Frequency::_getRecord() const {
  if (!_hasRecord()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Frequency");
  record->add("Encoding", _encoding);
  return record;
}

bool Frequency::_hasRecord() const {
  return Orvek::isDebug();
}

}  // namespace Morva
