#pragma once

#include <Morva/Delay.h>
#include <Morva/Export.h>
#include <Morva/Mode.h>
#include <Orvek/Stuff.h>

#include <string>

namespace Morva {

class Pole;

// An input or output delay of a port: the clock root it refers to, the
// clock edge, and a minimum and maximum delay.
class MORVA_API IOConstraint : public Orvek::Stuff {
 public:
  IOConstraint();
  IOConstraint(Pole* clockRoot, const Mode& mode, const Delay& minimum, const Delay& maximum);
  IOConstraint(const IOConstraint&) = default;
  IOConstraint& operator=(const IOConstraint&) = default;

  Pole* getClockRoot() const { return _clockRoot; }
  const Mode& getMode() const { return _mode; }
  Delay getMinimum() const { return Delay(_minimum); }
  Delay getMaximum() const { return Delay(_maximum); }
  bool isDefined() const;

  bool operator==(const IOConstraint& other) const;
  bool operator!=(const IOConstraint& other) const { return !(*this == other); }
  // By clock root creation order, mode code, minimum (non-negative ones
  // before negative ones), then maximum.
  bool operator<(const IOConstraint& other) const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  Pole* _clockRoot;
  Mode _mode;
  int _minimum;
  int _maximum;
};

}  // namespace Morva
