#pragma once

#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// The role of a pole: none, a primary port of the design, a clock source, or
// the clock-side dual of a main pole.
// Objects pack the code into their flag bits and rebuild the value on
// demand, so the conversions from a code are inline.
class MORVA_API Type : public Orvek::Stuff {
 public:
  enum Code : int32_t { None = 0, Primary = 1, ClockSource = 2, Dual = 3 };

  Type() = default;
  Type(const Code& code) : _code(code) {}
  // A value that is no valid code gives the default, None.
  Type(const unsigned char& code) : _code(code < _codeCount ? static_cast<Code>(code) : None) {}
  // The case-sensitive name of a code; any other text gives None.
  Type(const std::string& name);
  Type(const Type&) = default;
  Type& operator=(const Type&) = default;
  ~Type() override = default;

  Code getCode() const { return _code; }
  // The name of the code, or "Invalid" for a code outside the table.
  const std::string& getName() const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static constexpr unsigned _codeCount = 4;

  static const std::string* getNames();

  Code _code = None;
};

}  // namespace Morva
