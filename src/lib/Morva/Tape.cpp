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
  densify();
  return Bit(_bytes[index / kBitsPerByte], static_cast<unsigned>(index % kBitsPerByte));
}

unsigned char Tape::getByte(std::size_t index) const {
  if (!_sparse) return _bytes[index];
  const auto found =
      std::lower_bound(_sparseBytes.begin(), _sparseBytes.end(), index,
                       [](const Byte& byte, std::size_t wanted) { return byte.index < wanted; });
  return found != _sparseBytes.end() && found->index == index ? found->value : 0;
}

void Tape::densify() const {
  if (!_sparse) return;
  _bytes.assign(getByteCount(_bitCount), 0);
  for (const Byte& byte : _sparseBytes) _bytes[byte.index] = byte.value;
  std::vector<Byte>().swap(_sparseBytes);
  _sparse = false;
}

void Tape::compact() {
  const std::size_t byteCount = getByteCount(_bitCount);
  if (_sparse) {
    if (_sparseBytes.size() * sizeof(Byte) > byteCount) densify();
    return;
  }
  const auto nonZero = static_cast<std::size_t>(
      std::count_if(_bytes.begin(), _bytes.end(), [](unsigned char byte) { return byte != 0; }));
  if (nonZero * sizeof(Byte) > byteCount) return;
  std::vector<Byte> sparseBytes;
  sparseBytes.reserve(nonZero);
  for (std::size_t index = 0; index < _bytes.size(); ++index)
    if (_bytes[index] != 0)
      sparseBytes.push_back(Byte{static_cast<uint32_t>(index), _bytes[index]});
  _sparseBytes = std::move(sparseBytes);
  std::vector<unsigned char>().swap(_bytes);
  _sparse = true;
}

template <class Combine>
void Tape::combineWith(const Tape& other, Combine combine) {
  if (_sparse && other._sparse) {
    // A merge of the non-zero bytes; a byte absent from one side is 0.
    std::vector<Byte> merged;
    merged.reserve(_sparseBytes.size() + other._sparseBytes.size());
    auto mine = _sparseBytes.begin();
    auto theirs = other._sparseBytes.begin();
    while (mine != _sparseBytes.end() || theirs != other._sparseBytes.end()) {
      uint32_t index;
      unsigned char a = 0;
      unsigned char b = 0;
      if (theirs == other._sparseBytes.end() ||
          (mine != _sparseBytes.end() && mine->index < theirs->index)) {
        index = mine->index;
        a = (mine++)->value;
      } else if (mine == _sparseBytes.end() || theirs->index < mine->index) {
        index = theirs->index;
        b = (theirs++)->value;
      } else {
        index = mine->index;
        a = (mine++)->value;
        b = (theirs++)->value;
      }
      const auto value = static_cast<unsigned char>(combine(a, b));
      if (value != 0) merged.push_back(Byte{index, value});
    }
    _sparseBytes = std::move(merged);
    return;
  }
  densify();
  if (!other._sparse) {
    for (std::size_t i = 0; i < _bytes.size(); ++i)
      _bytes[i] = static_cast<unsigned char>(combine(_bytes[i], other._bytes[i]));
    return;
  }
  auto theirs = other._sparseBytes.begin();
  for (std::size_t i = 0; i < _bytes.size(); ++i) {
    const unsigned char b =
        theirs != other._sparseBytes.end() && theirs->index == i ? (theirs++)->value : 0;
    _bytes[i] = static_cast<unsigned char>(combine(_bytes[i], b));
  }
}

Tape& Tape::operator&=(const Tape& other) {
  check(other, "operator&=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a & b; });
  return *this;
}

Tape& Tape::operator|=(const Tape& other) {
  check(other, "operator|=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a | b; });
  return *this;
}

Tape& Tape::operator^=(const Tape& other) {
  check(other, "operator^=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a ^ b; });
  return *this;
}

Tape Tape::operator~() const {
  Tape complement(*this);
  complement.densify();
  for (unsigned char& byte : complement._bytes) byte = static_cast<unsigned char>(~byte);
  return complement;
}

int Tape::compare(const Tape& other) const {
  const auto order = [](unsigned char a, unsigned char b) {
    const auto mine = static_cast<signed char>(a);
    const auto theirs = static_cast<signed char>(b);
    return mine == theirs ? 0 : (mine < theirs ? -1 : 1);
  };
  if (_sparse && other._sparse) {
    // The first byte where the two differ is the first non-zero byte of
    // either that the other does not hold alike.
    auto mine = _sparseBytes.begin();
    auto theirs = other._sparseBytes.begin();
    for (; mine != _sparseBytes.end() && theirs != other._sparseBytes.end(); ++mine, ++theirs) {
      if (mine->index != theirs->index)
        return mine->index < theirs->index ? order(mine->value, 0) : order(0, theirs->value);
      if (mine->value != theirs->value) return order(mine->value, theirs->value);
    }
    if (mine != _sparseBytes.end()) return order(mine->value, 0);
    if (theirs != other._sparseBytes.end()) return order(0, theirs->value);
    return 0;
  }
  // At least one side is dense: read the other's bytes in step with it.
  const Tape& dense = _sparse ? other : *this;
  const Tape& second = _sparse ? *this : other;
  auto next = second._sparseBytes.begin();
  for (std::size_t i = 0; i < dense._bytes.size(); ++i) {
    unsigned char byte = 0;
    if (!second._sparse)
      byte = second._bytes[i];
    else if (next != second._sparseBytes.end() && next->index == i)
      byte = (next++)->value;
    const int result = _sparse ? order(byte, dense._bytes[i]) : order(dense._bytes[i], byte);
    if (result != 0) return result;
  }
  return 0;
}

bool Tape::operator==(const Tape& other) const {
  check(other, "operator==");
  return compare(other) == 0;
}

bool Tape::operator!=(const Tape& other) const {
  check(other, "operator!=");
  return compare(other) != 0;
}

bool Tape::operator<(const Tape& other) const {
  check(other, "operator<");
  return compare(other) < 0;
}

Tape::operator bool() const {
  if (_sparse) return _sparseBytes.empty();
  return std::all_of(_bytes.begin(), _bytes.end(), [](unsigned char byte) { return byte == 0; });
}

// Both shifts rebuild the bytes from the tape bits alone, so a shifted tape
// has all its spare bits clear whatever they held before.
Tape& Tape::operator<<=(unsigned long shift) {
  if (shift == 0) return *this;
  densify();
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  for (unsigned long index = shift; index < _bitCount; ++index)
    if (isSet(index - shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

Tape& Tape::operator>>=(unsigned long shift) {
  if (shift == 0) return *this;
  densify();
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  if (shift < _bitCount)
    for (unsigned long index = 0; index < _bitCount - shift; ++index)
      if (isSet(index + shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

std::string Tape::getPattern(bool grouped) const {
  std::string pattern;
  pattern.reserve(_bitCount + (grouped ? getByteCount(_bitCount) : 0));
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
