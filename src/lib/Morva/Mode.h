#pragma once

#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstdint>
#include <string>

namespace Morva {

// The clock edge of a clock pole or of a subdomain's launch and latch side.
// Objects pack the code into their flag bits and rebuild the value on
// demand, so the conversions from a code are inline.
class MORVA_API Mode : public Orvek::Stuff {
 public:
  enum Code : int32_t { None = 0, Rising = 1, Falling = 2 };

  Mode() = default;
  Mode(const Code& code) : _code(code) {}
  // A value that is no valid code gives the default, None.
  Mode(const unsigned char& code) : _code(code < _codeCount ? static_cast<Code>(code) : None) {}
  // The case-sensitive name of a code; any other text gives None.
  Mode(const std::string& name);
  Mode(const Mode&) = default;
  Mode& operator=(const Mode&) = default;
  ~Mode() override = default;

  Code getCode() const { return _code; }
  // The name of the code, or "Invalid" for a code outside the table.
  const std::string& getName() const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  static constexpr unsigned _codeCount = 3;

  static const std::string* getNames();

  Code _code = None;
};

}  // namespace Morva
