#pragma once

#include <Morva/CPath.h>

namespace Morva {

// A multicycle path: the paths it covers have several clock cycles.
class MORVA_API MPath : public CPath {
 public:
  static MPath* create(const Poles& sources, const Poles& bridges, const Poles& targets,
                       unsigned long cycleCount);
  static void preCreate(const Poles& sources, const Poles& bridges, const Poles& targets,
                        unsigned long cycleCount);

  unsigned long getCycleCount() const { return _cycleCount; }

  Kind getKind() const override { return Kind::Multicycle; }
  std::string getAlias() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  MPath(const Poles& sources, const Poles& bridges, const Poles& targets, unsigned long cycleCount);
  void postCreate();
  void preDestroy() override;

 private:
  unsigned long _cycleCount;
};

}  // namespace Morva
