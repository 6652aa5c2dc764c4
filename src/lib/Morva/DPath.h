#pragma once

#include <Morva/CPath.h>
#include <Morva/Delay.h>

namespace Morva {

// A maximum or minimum delay path: the paths it covers must take at most
// (at least) its delay.
class MORVA_API DPath : public CPath {
 public:
  static DPath* createMaximum(const Poles& sources, const Poles& bridges, const Poles& targets,
                              const Delay& delay);
  static DPath* createMinimum(const Poles& sources, const Poles& bridges, const Poles& targets,
                              const Delay& delay);
  static void preCreate(const Poles& sources, const Poles& bridges, const Poles& targets,
                        const Delay& delay);

  Delay getDelay() const { return Delay(_delay); }
  bool isMaximum() const { return _maximum; }
  // The limit of a maximum (minimum) delay path; asking the other kind fails.
  Delay getMaxdelay() const;
  Delay getMindelay() const;

  Kind getKind() const override { return Kind::Delay; }
  std::string getAlias() const override;
  Orvek::Record* _getRecord() const override;

 protected:
  DPath(const Poles& sources, const Poles& bridges, const Poles& targets, const Delay& delay,
        bool maximum);
  void postCreate();
  void preDestroy() override;

 private:
  static DPath* create(const Poles& sources, const Poles& bridges, const Poles& targets,
                       const Delay& delay, bool maximum);

  int _delay;
  bool _maximum;
};

}  // namespace Morva
