#pragma once

#include <Morva/Export.h>
#include <Morva/Tape.h>
#include <Orvek/Exception.h>
#include <Orvek/Record.h>
#include <Orvek/Stuff.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace Morva {

// Interned bit sets. Each distinct tape of the current generation is stored
// once in tables shared by the whole family and a mask carries only its
// number, so copying, comparing and keying maps by masks is integer work.
// Number 0 is the all-zero tape entered by `reset`; further numbers are
// handed out in interning order. A number that the tables do not hold (a
// number from an earlier generation, or one never handed out) makes an
// invalid mask, which acts as the empty set in every operation.
//
// `Derived` is the concrete family (`Mask` or `DomainMask`): every family has
// its own tables, and names its error source, label prefix and record
// header through the private constants `_source`, `_prefix` and `_header`.
//
// The tables are changed only by `reset` and by interning, so after a reset
// the numbers in use are exactly 0 .. `_defaultNumber`. That is checked in
// constant time (`isDense`), and then validity needs no lookup and
// combinations with 0, with an invalid mask or with the same mask are
// answered from the numbers alone, with the result the tapes would give.
// Mask numbers as poles and edges keep them, in four bytes: numbers count
// interned tapes, so they stay far below 2^32 - 1, which stands for the
// invalid number.
inline uint32_t packMaskNumber(unsigned long number) {
  return number > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(number);
}
inline unsigned long unpackMaskNumber(uint32_t packed) {
  return packed == UINT32_MAX ? ~0UL : static_cast<unsigned long>(packed);
}

template <class Derived>
class MORVA_API BasicMask : public Orvek::Stuff {
 public:
  // The number of an invalid mask.
  static constexpr unsigned long _invalidNumber = ~0UL;

  static std::map<unsigned long, Tape> _tapeMap;
  static std::map<Tape, unsigned long> _numberMap;
  // Results of combining two interned numbers, so that a combination met
  // again (route searches meet the same ones at every step) is integer
  // work. Cleared by `reset`.
  static std::unordered_map<unsigned long long, unsigned long> _combinedMap;
  static unsigned long _defaultNumber;
  static Tape _defaultTape;

  // The empty set, number 0.
  BasicMask() = default;
  // That number if the tables hold it, else invalid.
  BasicMask(unsigned long number) : _number(isValid(number) ? number : _invalidNumber) {}
  // The number of the tape, interned if new; invalid for a tape of another
  // size than the tables'.
  BasicMask(const Tape& tape) : _number(getInterned(tape)) {}
  BasicMask(const BasicMask&) = default;
  BasicMask& operator=(const BasicMask&) = default;
  ~BasicMask() override = default;

  unsigned long getNumber() const { return _number; }
  bool isValid() const { return isValid(_number); }
  // The stored tape, or the tables' blank tape for an invalid mask.
  const Tape& getTape() const;

  bool operator==(const Derived& other) const { return _number == other.getNumber(); }
  bool operator!=(const Derived& other) const { return _number != other.getNumber(); }
  bool operator<(const Derived& other) const { return _number < other.getNumber(); }

  Derived operator&(const Derived& other) const {
    return make(getCombined(_number, other.getNumber(), Operation::And));
  }
  Derived operator|(const Derived& other) const {
    return make(getCombined(_number, other.getNumber(), Operation::Or));
  }
  Derived operator^(const Derived& other) const {
    return make(getCombined(_number, other.getNumber(), Operation::Xor));
  }
  Derived& operator&=(const Derived& other) {
    _number = getCombined(_number, other.getNumber(), Operation::And);
    return static_cast<Derived&>(*this);
  }
  Derived& operator|=(const Derived& other) {
    _number = getCombined(_number, other.getNumber(), Operation::Or);
    return static_cast<Derived&>(*this);
  }
  Derived& operator^=(const Derived& other) {
    _number = getCombined(_number, other.getNumber(), Operation::Xor);
    return static_cast<Derived&>(*this);
  }
  Derived operator~() const;

  // The mask of tape bit `bit` - 1 alone; bits count from 1.
  static Derived getBasic(unsigned long bit);
  // Starts a new generation of `size`-bit tapes holding only number 0.
  static void reset(unsigned long size);
  static void clear() { reset(0); }

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override { return isValid(); }

 private:
  enum class Operation { And, Or, Xor };

  // True when the tables hold exactly the numbers 0 .. `_defaultNumber`:
  // `_defaultNumber` + 1 distinct numbers, none above `_defaultNumber`.
  static bool isDense() {
    return !_tapeMap.empty() && _tapeMap.rbegin()->first == _defaultNumber &&
           _tapeMap.size() - 1 == _defaultNumber;
  }
  static bool isValid(unsigned long number) {
    return isDense() ? number <= _defaultNumber : _tapeMap.contains(number);
  }
  static Derived make(unsigned long number) {
    Derived mask;
    mask._number = number;
    return mask;
  }
  static const Tape& getTape(unsigned long number);
  static unsigned long getInterned(Tape tape);
  static unsigned long getCombined(unsigned long first, unsigned long second, Operation operation);

  unsigned long _number = 0;
};

// Masks whose bits stand for constrained paths.
class MORVA_API Mask : public BasicMask<Mask> {
 public:
  Mask() = default;
  Mask(unsigned long number) : BasicMask(number) {}
  Mask(const Tape& tape) : BasicMask(tape) {}

 private:
  friend class BasicMask<Mask>;
  static constexpr const char* _source = "lib/Morva/Mask";
  static constexpr const char* _prefix = "MASK[";
  static constexpr const char* _header = "Mask";
};

template <class Derived>
std::map<unsigned long, Tape> BasicMask<Derived>::_tapeMap;
template <class Derived>
std::map<Tape, unsigned long> BasicMask<Derived>::_numberMap;
template <class Derived>
std::unordered_map<unsigned long long, unsigned long> BasicMask<Derived>::_combinedMap;
template <class Derived>
unsigned long BasicMask<Derived>::_defaultNumber = 0;
template <class Derived>
Tape BasicMask<Derived>::_defaultTape;

template <class Derived>
const Tape& BasicMask<Derived>::getTape(unsigned long number) {
  const auto found = _tapeMap.find(number);
  return found == _tapeMap.end() ? _defaultTape : found->second;
}

template <class Derived>
const Tape& BasicMask<Derived>::getTape() const {
  return getTape(_number);
}

template <class Derived>
unsigned long BasicMask<Derived>::getInterned(Tape tape) {
  if (tape.getBitCount() != _defaultTape.getBitCount()) return _invalidNumber;
  // The tables keep each tape in its smaller form: with a bit per
  // constrained path, most masks have few bits set.
  tape.compact();
  const auto place = _numberMap.lower_bound(tape);
  if (place != _numberMap.end() && !(tape < place->first)) return place->second;
  const unsigned long number = ++_defaultNumber;
  _numberMap.emplace_hint(place, tape, number);
  _tapeMap.emplace_hint(_tapeMap.end(), number, std::move(tape));
  return number;
}

template <class Derived>
unsigned long BasicMask<Derived>::getCombined(unsigned long first, unsigned long second,
                                              Operation operation) {
  if (isDense()) {
    // Number 0 is the blank tape and every valid number interns back to
    // itself, so these cases need neither tapes nor lookups.
    const unsigned long a = first <= _defaultNumber ? first : 0;
    const unsigned long b = second <= _defaultNumber ? second : 0;
    switch (operation) {
      case Operation::And:
        if (a == 0 || b == 0) return 0;
        if (a == b) return a;
        break;
      case Operation::Or:
        if (a == 0) return b;
        if (b == 0 || a == b) return a;
        break;
      case Operation::Xor:
        if (a == b) return 0;
        if (a == 0) return b;
        if (b == 0) return a;
        break;
    }
  }
  // Only numbers the tables hold have a fixed tape to remember them by.
  const bool remembered = isDense() && first <= _defaultNumber && second <= _defaultNumber &&
                          first < (1UL << 31) && second < (1UL << 31);
  const unsigned long long key =
      remembered ? (static_cast<unsigned long long>(std::min(first, second)) << 33) |
                       (static_cast<unsigned long long>(std::max(first, second)) << 2) |
                       static_cast<unsigned long long>(operation)
                 : 0;
  if (remembered) {
    const auto found = _combinedMap.find(key);
    if (found != _combinedMap.end()) return found->second;
  }
  Tape tape = getTape(first);
  const Tape& other = getTape(second);
  switch (operation) {
    case Operation::And:
      tape &= other;
      break;
    case Operation::Or:
      tape |= other;
      break;
    case Operation::Xor:
      tape ^= other;
      break;
  }
  const unsigned long result = getInterned(std::move(tape));
  if (remembered) _combinedMap.emplace(key, result);
  return result;
}

template <class Derived>
Derived BasicMask<Derived>::operator~() const {
  return make(getInterned(~getTape()));
}

template <class Derived>
Derived BasicMask<Derived>::getBasic(unsigned long bit) {
  if (bit == 0) Orvek::raise<Orvek::InvalidRequest>(Derived::_source, "getBasic", "Null bit");
  if (bit > _defaultTape.getBitCount())
    Orvek::raise<Orvek::InvalidRequest>(Derived::_source, "getBasic", "Rejected bit");
  Tape tape(_defaultTape.getBitCount(), false);
  tape[bit - 1] = true;
  return make(getInterned(std::move(tape)));
}

template <class Derived>
void BasicMask<Derived>::reset(unsigned long size) {
  _tapeMap.clear();
  _numberMap.clear();
  _combinedMap.clear();
  _defaultTape = Tape(size, false);
  _defaultNumber = 0;
  _tapeMap.emplace(0, _defaultTape);
  _numberMap.emplace(_defaultTape, 0);
}

template <class Derived>
std::string BasicMask<Derived>::_getLabel() const {
  const std::string prefix = Derived::_prefix;
  if (!isValid()) return prefix + "invalid]";
  return prefix + std::to_string(_number) + "]:[" + getTape().getPattern(false) + "]";
}

template <class Derived>
Orvek::Slot* BasicMask<Derived>::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Derived>(name, static_cast<const Derived&>(*this));
}

template <class Derived>
Orvek::Record* BasicMask<Derived>::_getRecord() const {
  if (!isValid()) return nullptr;
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader(Derived::_header);
  record->add("Tape", getTape());
  record->add("Number", _number);
  return record;
}

// The members are compiled once, in Mask.cpp.
extern template class BasicMask<Mask>;

}  // namespace Morva
