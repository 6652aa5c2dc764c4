#pragma once

#include <Morva/CPath.h>

namespace Morva {

// A false path: the paths it covers are not timed.
class MORVA_API FPath : public CPath {
 public:
  static FPath* create(const Poles& sources, const Poles& bridges, const Poles& targets);
  static void preCreate(const Poles& sources, const Poles& bridges, const Poles& targets);

  Kind getKind() const override { return Kind::False; }
  std::string getAlias() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  using CPath::CPath;
  void postCreate();
  void preDestroy() override;
};

}  // namespace Morva
