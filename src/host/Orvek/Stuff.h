#pragma once

#include <Orvek/Export.h>

#include <string>

namespace Orvek {

class Record;
class Slot;

// Base of every inspectable value and object: a short label, a slot that
// holds it under a name, and an optional inspection record.
class ORVEK_API Stuff {
 public:
  Stuff() = default;
  Stuff(const Stuff&) = default;
  Stuff& operator=(const Stuff&) = default;
  // Inline, so that the countless short-lived values (delays, timings,
  // masks) of the hot paths are destroyed without a call into the library.
  virtual ~Stuff() = default;

  virtual std::string _getLabel() const = 0;
  // A new slot named `name` holding this value (the caller owns it).
  virtual Slot* _getSlot(const std::string& name) const;
  // A new record owned by the caller, or null when the value has none.
  virtual Record* _getRecord() const;
  virtual bool _hasRecord() const;
};

}  // namespace Orvek
