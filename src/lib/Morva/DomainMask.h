#pragma once

#include <Morva/Export.h>
#include <Morva/Mask.h>
#include <Morva/Tape.h>

namespace Morva {

// Masks whose bits stand for domains: the same interned sets as `Mask`,
// over tables of their own.
class MORVA_API DomainMask : public BasicMask<DomainMask> {
 public:
  DomainMask() = default;
  DomainMask(unsigned long number) : BasicMask(number) {}
  DomainMask(const Tape& tape) : BasicMask(tape) {}

 private:
  friend class BasicMask<DomainMask>;
  static constexpr const char* _source = "lib/Morva/DomainMask";
  static constexpr const char* _prefix = "DOMAIN-MASK[";
  static constexpr const char* _header = "DomainMask";
};

// The members are compiled once, in DomainMask.cpp.
extern template class BasicMask<DomainMask>;

}  // namespace Morva
