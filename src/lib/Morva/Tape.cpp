#include <Morva/Tape.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <utility>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/Tape";
constexpr unsigned long kBitsPerByte = 7;

unsigned long getByteCount(unsigned long bitCount) {
  return bitCount / kBitsPerByte + (bitCount % kBitsPerByte != 0 ? 1 : 0);
}

void setBit(std::vector<unsigned char>& bytes, unsigned long index) {
  bytes[index / kBitsPerByte] |= static_cast<unsigned char>(1U << (index % kBitsPerByte));
}
}  // namespace

std::string Tape::Bit::_getLabel() const {
  return Orvek::getLabel(static_cast<bool>(*this));
}

Orvek::Slot* Tape::Bit::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<bool>(name, static_cast<bool>(*this));
}

Tape::Tape(unsigned long bitCount, bool value)
    : _bitCount(bitCount), _bytes(getByteCount(bitCount), value ? 0xff : 0) {
  if (value && !_bytes.empty()) {
    const unsigned long lastBits = bitCount - kBitsPerByte * (_bytes.size() - 1);
    _bytes.back() = static_cast<unsigned char>((1U << lastBits) - 1);
  }
}

void Tape::check(const Tape& other, const char* operation) const {
  if (_bitCount != other._bitCount)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Incompatible tape");
}

void Tape::checkIndex(unsigned long index) const {
  if (index >= _bitCount)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "operator[]", "Index out of range");
}

bool Tape::operator[](unsigned long index) const {
  checkIndex(index);
  return isSet(index);
}

Tape::Bit Tape::operator[](unsigned long index) {
  checkIndex(index);
  return Bit(_bytes[index / kBitsPerByte], static_cast<unsigned>(index % kBitsPerByte));
}

Tape& Tape::operator&=(const Tape& other) {
  check(other, "operator&=");
  for (std::size_t i = 0; i < _bytes.size(); ++i) _bytes[i] &= other._bytes[i];
  return *this;
}

Tape& Tape::operator|=(const Tape& other) {
  check(other, "operator|=");
  for (std::size_t i = 0; i < _bytes.size(); ++i) _bytes[i] |= other._bytes[i];
  return *this;
}

Tape& Tape::operator^=(const Tape& other) {
  check(other, "operator^=");
  for (std::size_t i = 0; i < _bytes.size(); ++i) _bytes[i] ^= other._bytes[i];
  return *this;
}

Tape Tape::operator~() const {
  Tape complement(*this);
  for (unsigned char& byte : complement._bytes) byte = static_cast<unsigned char>(~byte);
  return complement;
}

bool Tape::operator==(const Tape& other) const {
  check(other, "operator==");
  return _bytes == other._bytes;
}

bool Tape::operator!=(const Tape& other) const {
  check(other, "operator!=");
  return _bytes != other._bytes;
}

bool Tape::operator<(const Tape& other) const {
  check(other, "operator<");
  for (std::size_t i = 0; i < _bytes.size(); ++i) {
    const auto mine = static_cast<signed char>(_bytes[i]);
    const auto theirs = static_cast<signed char>(other._bytes[i]);
    if (mine != theirs) return mine < theirs;
  }
  return false;
}

Tape::operator bool() const {
  return std::all_of(_bytes.begin(), _bytes.end(), [](unsigned char byte) { return byte == 0; });
}

// Both shifts rebuild the bytes from the tape bits alone, so a shifted tape
// has all its spare bits clear whatever they held before.
Tape& Tape::operator<<=(unsigned long shift) {
  if (shift == 0) return *this;
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  for (unsigned long index = shift; index < _bitCount; ++index)
    if (isSet(index - shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

Tape& Tape::operator>>=(unsigned long shift) {
  if (shift == 0) return *this;
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  if (shift < _bitCount)
    for (unsigned long index = 0; index < _bitCount - shift; ++index)
      if (isSet(index + shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

std::string Tape::getPattern(bool grouped) const {
  std::string pattern;
  pattern.reserve(_bitCount + (grouped ? _bytes.size() : 0));
  for (unsigned long index = 0; index < _bitCount; ++index) {
    if (grouped && index != 0 && index % kBitsPerByte == 0) pattern += '+';
    pattern += isSet(index) ? '1' : '0';
  }
  return pattern;
}

std::string Tape::_getLabel() const {
  return "TAPE[" + std::to_string(_bitCount) + "]:" + getPattern(true);
}

Orvek::Slot* Tape::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Tape>(name, *this);
}

Orvek::Record* Tape::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Tape");
  record->add("BitCount", _bitCount);
  record->add("Pattern", getPattern(true));
  return record;
}

bool Tape::_hasRecord() const {
  return true;
}

}  // namespace Morva
