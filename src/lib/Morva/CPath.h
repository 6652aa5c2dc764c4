#pragma once

#include <Morva/Collections.h>
#include <Morva/Export.h>
#include <Morva/Mask.h>
#include <Morva/Object.h>
#include <Morva/Pole.h>

#include <set>
#include <string>

namespace Morva {

// A timing exception given by its sources, the bridges it must pass and its
// targets, with the mask bit the analyzer numbers it with.
class MORVA_API CPath : public Object {
 public:
  // What the constraint does to the paths it covers.
  enum class Kind { False, Multicycle, Delay };

  static void preCreate(const Poles& sources, const Poles& bridges, const Poles& targets);

  Poles getSources() const { return Orvek::SetCollection<Pole*, StampLess>(_sources); }
  Poles getBridges() const { return Orvek::SetCollection<Pole*, StampLess>(_bridges); }
  Poles getTargets() const { return Orvek::SetCollection<Pole*, StampLess>(_targets); }
  // Sources, then bridges, then targets.
  Poles getPoles() const;
  const PoleSet& getSourceSet() const { return _sources; }
  const PoleSet& getBridgeSet() const { return _bridges; }
  const PoleSet& getTargetSet() const { return _targets; }

  virtual Kind getKind() const = 0;
  const Mask& getMask() const { return _mask; }
  void setMask(const Mask& mask) { _mask = mask; }
  bool isIn(const Mask& mask) const;
  // Given by one group of poles only.
  bool isInsulated() const;
  void validate();

  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  CPath(const Poles& sources, const Poles& bridges, const Poles& targets);
  void postCreate();
  void preDestroy() override;

 private:
  PoleSet _sources;
  PoleSet _bridges;
  PoleSet _targets;
  Mask _mask;
};

}  // namespace Morva
