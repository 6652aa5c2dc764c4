#include "DesignBuilder.h"

#include "Message.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace MorvaImport {

namespace {

using Kind = SdfEntry::Kind;

class Builder {
 public:
  Builder(const FlatNetlist& netlist, const SdfData& sdf) : _netlist(netlist), _sdf(sdf) {}

  GraphPlan run() {
    learnDirections();
    addPoles();
    addNets();
    for (const SdfEntry& entry : _sdf.entries) {
      if (entry.instance == "*") {
        for (const FlatInstance& instance : _netlist.instances)
          if (instance.cellType == entry.cellType) apply(entry, instance.name + _sdf.divider);
      } else {
        apply(entry, entry.instance.empty() ? "" : entry.instance + _sdf.divider);
      }
    }
    for (const auto& [keyword, seen] : _sdf.ignored)
      noteIgnored({seen.first.file, seen.first.line,
                   std::to_string(seen.second) + " " + keyword +
                       " entries ignored (not part of the timing model)"});
    if (_unknownDirections > 0)
      warn({_netlist.instances.empty() ? "" : _netlist.instances.front().file, 0,
            std::to_string(_unknownDirections) +
                " cell pins have no direction in the SDF; they are taken as inputs"});
    return std::move(_plan);
  }

 private:
  // Pin directions per cell type, from the arcs and checks of the SDF.
  void learnDirections() {
    std::unordered_map<std::string, std::string> cellOf;
    for (const FlatInstance& instance : _netlist.instances)
      cellOf.emplace(instance.name, instance.cellType);
    const auto note = [this, &cellOf](const SdfEntry& entry, const std::string& pin, char role) {
      std::string cellType = entry.cellType;
      if (cellType.empty() || entry.instance != "*") {
        const auto found = cellOf.find(entry.instance);
        if (found != cellOf.end()) cellType = found->second;
      }
      _roles[cellType].emplace(pin, role);
    };
    for (const SdfEntry& entry : _sdf.entries) {
      switch (entry.kind) {
        case Kind::IOPath:
          note(entry, entry.from, 'i');
          note(entry, entry.to, 'o');
          break;
        case Kind::SetupHold:
        case Kind::RecoveryRemoval:
          note(entry, entry.from, 'i');
          note(entry, entry.to, 'i');
          break;
        case Kind::Interconnect:
          _pinRoles.emplace(entry.from, 'o');
          _pinRoles.emplace(entry.to, 'i');
          break;
        default:
          break;
      }
    }
  }

  char getRole(const FlatInstance& instance, const std::string& pin, const std::string& pole) {
    const auto cell = _roles.find(instance.cellType);
    if (cell != _roles.end()) {
      const auto found = cell->second.find(pin);
      if (found != cell->second.end()) return found->second;
    }
    const auto found = _pinRoles.find(pole);
    if (found != _pinRoles.end()) return found->second;
    ++_unknownDirections;
    return 'i';
  }

  void addPoles() {
    for (const FlatPort& port : _netlist.ports)
      _plan.getPole(_plan.addPole(port.name)).primary = true;
    for (const FlatInstance& instance : _netlist.instances) {
      _instances.emplace(instance.name, &instance);
      for (const FlatPin& pin : instance.pins)
        _plan.addPole(instance.name + _sdf.divider + pin.pin);
    }
  }

  // Every driver of a net reaches every load through a wire of no delay
  // until the SDF says otherwise; constant nets carry no timing.
  void addNets() {
    std::vector<std::vector<int>> drivers(_netlist.netNames.size()),
        loads(_netlist.netNames.size());
    for (const FlatPort& port : _netlist.ports) {
      const int pole = _plan.findPole(port.name);
      if (port.direction != Direction::Output)
        drivers[static_cast<std::size_t>(port.net)].push_back(pole);
      if (port.direction != Direction::Input)
        loads[static_cast<std::size_t>(port.net)].push_back(pole);
    }
    for (const FlatInstance& instance : _netlist.instances)
      for (const FlatPin& pin : instance.pins) {
        const std::string name = instance.name + _sdf.divider + pin.pin;
        const int pole = _plan.findPole(name);
        (getRole(instance, pin.pin, name) == 'o' ? drivers
                                                 : loads)[static_cast<std::size_t>(pin.net)]
            .push_back(pole);
      }
    for (std::size_t net = 0; net < drivers.size(); ++net) {
      if (_netlist.constant[net]) continue;
      for (int driver : drivers[net])
        for (int load : loads[net])
          if (driver != load) {
            _plan.addArc(driver, load, Morva::Purpose::Interconnect);
            _netArcs[static_cast<int>(net)].push_back(_plan.getArcs().size() - 1);
          }
    }
  }

  static void setBounds(GraphPlan::Arc& arc, const SdfEntry& entry) {
    if (entry.increment) {
      arc.bounds.minimum += entry.bounds.minimum;
      arc.bounds.maximum += entry.bounds.maximum;
    } else if (!arc.given) {
      arc.bounds = entry.bounds;
    } else {
      // Several entries for one arc (conditions, edges): the worst of them.
      arc.bounds.minimum = std::min(arc.bounds.minimum, entry.bounds.minimum);
      arc.bounds.maximum = std::max(arc.bounds.maximum, entry.bounds.maximum);
    }
    arc.given = true;
  }

  int findPin(const SdfEntry& entry, const std::string& name) {
    const int pole = _plan.findPole(name);
    if (pole < 0)
      warn({entry.place.file, entry.place.line,
            "no pin or port \"" + name + "\" in the netlist; entry ignored"});
    return pole;
  }

  // The pole of a cell's pin, made when the netlist leaves the pin
  // unconnected; -1 when the instance is unknown.
  int findCellPin(const SdfEntry& entry, const std::string& prefix, const std::string& pin) {
    return hasInstance(entry, prefix) ? _plan.addPole(prefix + pin) : -1;
  }

  bool hasInstance(const SdfEntry& entry, const std::string& prefix) {
    const std::string instance = prefix.empty() ? "" : prefix.substr(0, prefix.size() - 1);
    if (_instances.count(instance)) return true;
    warn({entry.place.file, entry.place.line,
          "no instance \"" + instance + "\" in the netlist; entry ignored"});
    return false;
  }

  void apply(const SdfEntry& entry, const std::string& prefix) {
    switch (entry.kind) {
      case Kind::IOPath: {
        const int from = findCellPin(entry, prefix, entry.from);
        const int to = from < 0 ? -1 : findCellPin(entry, prefix, entry.to);
        if (to >= 0 && from != to) setBounds(_plan.addArc(from, to, Morva::Purpose::IOPath), entry);
        break;
      }
      case Kind::Interconnect: {
        const int from = findPin(entry, entry.from);
        const int to = from < 0 ? -1 : findPin(entry, entry.to);
        if (to >= 0 && from != to)
          setBounds(_plan.addArc(from, to, Morva::Purpose::Interconnect), entry);
        break;
      }
      case Kind::Port: {
        const int to = findPin(entry, entry.to);
        for (GraphPlan::Arc& arc : _plan.getArcs())
          if (to >= 0 && arc.target == to && arc.purpose == Morva::Purpose::Interconnect)
            setBounds(arc, entry);
        break;
      }
      case Kind::NetDelay: {
        const auto net = _netlist.netByName.find(entry.to);
        if (net == _netlist.netByName.end()) {
          warn({entry.place.file, entry.place.line,
                "no net \"" + entry.to + "\" in the netlist; entry ignored"});
          break;
        }
        for (std::size_t arc : _netArcs[net->second]) setBounds(_plan.getArcs()[arc], entry);
        break;
      }
      case Kind::Device: {
        if (!hasInstance(entry, prefix)) break;
        for (GraphPlan::Arc& arc : _plan.getArcs()) {
          const std::string& target = _plan.getPoles()[static_cast<std::size_t>(arc.target)].name;
          const bool ofCell = target.size() > prefix.size() &&
                              target.compare(0, prefix.size(), prefix) == 0 &&
                              target.find(_sdf.divider, prefix.size()) == std::string::npos;
          if (arc.purpose == Morva::Purpose::IOPath && ofCell &&
              (entry.to.empty() || target == prefix + entry.to))
            setBounds(arc, entry);
        }
        break;
      }
      case Kind::SetupHold:
      case Kind::RecoveryRemoval:
        applyCheck(entry, prefix);
        break;
    }
  }

  void applyCheck(const SdfEntry& entry, const std::string& prefix) {
    const int data = findCellPin(entry, prefix, entry.from);
    const int clock = data < 0 ? -1 : findCellPin(entry, prefix, entry.to);
    if (clock < 0 || data == clock) return;
    GraphPlan::Pole& pole = _plan.getPole(clock);
    const char mode = entry.clockEdge ? entry.clockEdge : 'r';
    if (!pole.mode)
      pole.mode = mode;
    else if (pole.mode != mode)
      warn({entry.place.file, entry.place.line,
            "checks at \"" + pole.name + "\" on both clock edges; the first one read is kept"});
    GraphPlan::Arc& arc =
        _plan.addArc(data, clock,
                     entry.kind == Kind::SetupHold ? Morva::Purpose::SetupHold
                                                   : Morva::Purpose::RecoveryRemoval);
    // A check given on one side only has 0 on the other.
    if (entry.hasMinimum)
      arc.bounds.minimum =
          arc.sides & 1 ? std::max(arc.bounds.minimum, entry.bounds.minimum) : entry.bounds.minimum;
    if (entry.hasMaximum)
      arc.bounds.maximum =
          arc.sides & 2 ? std::max(arc.bounds.maximum, entry.bounds.maximum) : entry.bounds.maximum;
    arc.sides |= (entry.hasMinimum ? 1 : 0) | (entry.hasMaximum ? 2 : 0);
    arc.given = true;
  }

  const FlatNetlist& _netlist;
  const SdfData& _sdf;
  GraphPlan _plan;
  std::unordered_map<std::string, std::unordered_map<std::string, char>> _roles;
  std::unordered_map<std::string, char> _pinRoles;
  std::unordered_map<std::string, const FlatInstance*> _instances;
  std::unordered_map<int, std::vector<std::size_t>> _netArcs;
  std::size_t _unknownDirections = 0;
};

}  // namespace

GraphPlan buildDesign(const FlatNetlist& netlist, const SdfData& sdf) {
  return Builder(netlist, sdf).run();
}

}  // namespace MorvaImport
