#pragma once

#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// The kind of an edge: a cell arc (IO path), a setup/hold or recovery/removal
// check, or an interconnect.
// Objects pack the code into their flag bits and rebuild the value on
// demand, so the conversions from a code are inline.
class MORVA_API Purpose : public Orvek::Stuff {
 public:
  enum Code : int32_t { IOPath = 0, SetupHold = 1, RecoveryRemoval = 2, Interconnect = 3 };

  Purpose() = default;
  Purpose(const Code& code) : _code(code) {}
  // A value that is no valid code gives the default, Interconnect.
  Purpose(const unsigned char& code)
      : _code(code < _codeCount ? static_cast<Code>(code) : Interconnect) {}
  // The case-sensitive name of a code; any other text gives Interconnect.
  Purpose(const std::string& name);
  Purpose(const Purpose&) = default;
  Purpose& operator=(const Purpose&) = default;
  ~Purpose() override = default;

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

  Code _code = Interconnect;
};

}  // namespace Morva
