#pragma once

#include <Morva/Collections.h>
#include <Morva/Edge.h>
#include <Morva/Export.h>
#include <Morva/Mask.h>
#include <Morva/Mode.h>
#include <Morva/Object.h>
#include <Morva/Type.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace Morva {

// A node of the timing graph: a pin or a port, registered by name among the
// analyzer's main or dual poles. Flags: 1 and 2 the clock edge mode, 3 and 4
// the type, 5 the walk mark, 6 the wave flag.
class MORVA_API Pole : public Object {
 public:
  static Pole* createMain(const std::string& name);
  static Pole* createDual(const std::string& name);
  static void preCreateMain(const std::string& name);
  static void preCreateDual(const std::string& name);

  const std::string& getName() const { return _name; }
  std::string getReportName() const;
  // Few poles have a report name of their own: those are kept aside.
  void setReportName(const std::string& name);
  // Few poles have a buddy: those are kept aside too.
  void setBuddy(Orvek::Stuff* buddy);
  Orvek::Stuff* getBuddy() const;
  std::string getAlias() const override;

  void setMode(const Mode& mode);
  Mode getMode() const { return Mode(modeCode()); }
  void setType(const Type& type);
  Type getType() const { return Type(typeCode()); }
  bool isClock() const { return flag(1); }
  bool isDual() const { return typeCode() == Type::Dual; }
  // Marks the pole; the analyzer notes it, so that clearing every mark
  // costs the marked poles only.
  void mark();
  void unmark() {
    if (flag(5)) setFlagBit(5, false);
  }
  bool isMarked() const { return flag(5); }
  void setWaveFlag(bool wave) { setFlagBit(6, wave); }
  bool hasWaveFlag() const { return flag(6); }

  // A number no other living pole has, as small as the poles alive allow:
  // dense per-pole tables are indexed by it.
  uint32_t getNumber() const { return _number; }
  // One more than the largest number in use.
  static std::size_t getNumberBound();
  // Frees the room the table of poles by number has beyond its poles,
  // once they are loaded.
  static void trimNumbers();
  // Calls `visit` on every living pole in number order, which is the order
  // the poles lie in memory; `visit` must not create poles.
  template <class Visit>
  static void forEachNumbered(Visit visit) {
    Pole* const* poles = getNumberedPoles();
    const std::size_t bound = getNumberBound();
    for (std::size_t number = 0; number < bound; ++number)
      if (poles[number]) visit(poles[number]);
  }

  Pole* getMain() const;
  Pole* getDual() const;
  Pole* getClock() const;
  Edges getIncomingEdges() const { return Edges(_incomingEdges); }
  Edges getOutgoingEdges() const { return Edges(_outgoingEdges); }
  // The edge sets themselves, for walks that must not build views.
  const EdgeSet& getIncomingEdgeSet() const { return _incomingEdges; }
  const EdgeSet& getOutgoingEdgeSet() const { return _outgoingEdges; }
  Edge* getIncomingEdge(const Pole* source) const;
  Edge* getOutgoingEdge(const Pole* target) const;
  void attach(Edge* edge);
  void detach(Edge* edge);
  // Called by the analyzer as poles of the same name are registered and
  // leave.
  void pair(Pole* partner);
  void unpair();

  bool isInitial() const { return isClock() || _incomingEdges.empty(); }
  bool isTerminal() const { return _outgoingEdges.empty(); }
  bool isInput() const { return typeCode() == Type::Primary && _incomingEdges.empty(); }
  bool isOutput() const {
    return typeCode() == Type::Primary && _outgoingEdges.empty() && !_incomingEdges.empty();
  }

  Mask getOpeningMask() const { return Mask(getOpeningMaskNumber()); }
  Mask getClosingMask() const { return Mask(getClosingMaskNumber()); }
  unsigned long getOpeningMaskNumber() const { return unpackMaskNumber(_openingMaskNumber); }
  unsigned long getClosingMaskNumber() const { return unpackMaskNumber(_closingMaskNumber); }
  void combineOpening(const Mask& mask);
  void combineClosing(const Mask& mask);
  void insulate();
  void reset();

  std::string _getLabel() const override;
  Orvek::Record* _getRecord() const override;

  // Poles live in a pool of their own.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size);

 protected:
  explicit Pole(const std::string& name);
  ~Pole() override;
  void postCreate(const std::string& name);
  void preDestroy() override;

 private:
  friend class GraphImage;
  friend class DataScan;
  friend class PoleTimingMap;
  // The poles by number (null for a free number), below `getNumberBound()`;
  // valid until a pole is created.
  static Pole* const* getNumberedPoles();

  Mode::Code modeCode() const {
    return flag(1) ? (flag(2) ? Mode::Rising : Mode::Falling) : Mode::None;
  }
  void writeType(Type::Code code);
  Type::Code typeCode() const {
    if (flag(3)) return flag(4) ? Type::Primary : Type::ClockSource;
    return flag(4) ? Type::Dual : Type::None;
  }

  static constexpr uint32_t _noPartner = UINT32_MAX;
  Pole* getPartner() const {
    return _partnerNumber == _noPartner ? nullptr : getNumberedPoles()[_partnerNumber];
  }

  // What a walk reads of a pole it only passes by (flags, number, masks)
  // shares the first cache line with the object header. A pole takes 96
  // bytes.
  uint32_t _number;
  Graphed<uint32_t> _openingMaskNumber = 0;
  Graphed<uint32_t> _closingMaskNumber = 0;
  // The number of the registered pole of the same name on the other side
  // (the dual pole of a main pole, the main pole of a dual pole), kept by
  // the analyzer so that the hot look-ups need no name search.
  Graphed<uint32_t> _partnerNumber = _noPartner;
  std::string _name;
  EdgeSet _incomingEdges{true};
  EdgeSet _outgoingEdges{false};
};

}  // namespace Morva
