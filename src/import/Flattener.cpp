#include "Flattener.h"

#include "Message.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/Flattener";
// Buses and expressions wider than this are taken for garbage.
constexpr std::size_t kMaximumWidth = 1 << 20;

// Net bits joined by assigns and port connections.
class NetUnion {
 public:
  int add(std::string name, char constant) {
    const int id = static_cast<int>(_parent.size());
    _parent.push_back(id);
    _names.push_back(std::move(name));
    _constant.push_back(constant);
    return id;
  }
  int find(int id) {
    int root = id;
    while (_parent[root] != root) root = _parent[root];
    while (_parent[id] != root) id = std::exchange(_parent[id], root);
    return root;
  }
  void join(int a, int b) {
    a = find(a);
    b = find(b);
    if (a == b) return;
    if (b < a) std::swap(a, b);
    _parent[b] = a;
    if (!_constant[a]) _constant[a] = _constant[b];
  }
  const std::string& getName(int id) const { return _names[id]; }
  bool isConstant(int id) const { return _constant[id] != 0; }
  std::size_t size() const { return _parent.size(); }

 private:
  std::vector<int> _parent;
  std::vector<std::string> _names;
  std::vector<char> _constant;
};

using Bits = std::vector<int>;

struct Work {
  const Module* module;
  std::string prefix;
  std::map<std::string, Bits> bindings;  // port name to the parent's bits
};

std::string bitName(const std::string& name, bool bus, int index) {
  return bus ? name + "[" + std::to_string(index) + "]" : name;
}

class Flattening {
 public:
  Flattening(const Netlist& netlist, char divider, const PinOrder& pins)
      : _netlist(netlist), _divider(divider), _pins(pins) {
    _nets.add("1'b0", '0');
    _nets.add("1'b1", '1');
  }

  FlatNetlist run(const Module& top) {
    std::vector<Work> stack{{&top, "", {}}};
    bool isTop = true;
    while (!stack.empty()) {
      Work work = std::move(stack.back());
      stack.pop_back();
      expand(work, isTop, stack);
      isTop = false;
    }
    _flat.netNames.resize(_nets.size());
    _flat.constant.resize(_nets.size());
    for (std::size_t id = 0; id < _nets.size(); ++id) {
      const int root = _nets.find(static_cast<int>(id));
      _flat.netNames[id] = _nets.getName(root);
      _flat.constant[id] = _nets.isConstant(root);
    }
    for (FlatPort& port : _flat.ports) port.net = _nets.find(port.net);
    for (FlatInstance& instance : _flat.instances)
      for (FlatPin& pin : instance.pins) pin.net = _nets.find(pin.net);
    for (auto& [name, id] : _flat.netByName) id = _nets.find(id);
    return std::move(_flat);
  }

 private:
  [[noreturn]] void error(const Module& module, std::size_t line, const std::string& text) const {
    fail(kSource, "flatten", module.file, line, text);
  }

  void expand(const Work& work, bool isTop, std::vector<Work>& stack) {
    const Module& module = *work.module;
    _local.clear();
    for (const auto& [name, net] : module.nets) declare(work.prefix, module, net);
    for (const std::string& port : module.ports) {
      const auto found = module.nets.find(port);
      if (found == module.nets.end() || found->second.direction == Direction::None)
        error(module, module.line, "port \"" + port + "\" has no direction");
      const Bits& bits = _local[port];
      if (isTop) {
        const NetDecl& net = found->second;
        for (std::size_t i = 0; i < bits.size(); ++i)
          _flat.ports.push_back({bitName(port, net.bus, indexOf(net, i)), net.direction, bits[i]});
        continue;
      }
      const auto bound = work.bindings.find(port);
      if (bound == work.bindings.end()) continue;
      if (bound->second.size() != bits.size())
        error(module, module.line,
              "port \"" + port + "\" of " + module.name + " has " + std::to_string(bits.size()) +
                  " bits, connected to " + std::to_string(bound->second.size()));
      for (std::size_t i = 0; i < bits.size(); ++i) _nets.join(bits[i], bound->second[i]);
    }
    for (const Assign& assign : module.assigns) {
      const Bits left = getBits(work.prefix, module, assign.left, assign.line);
      const Bits right = getBits(work.prefix, module, assign.right, assign.line);
      if (left.size() != right.size())
        error(module, assign.line,
              "assign of " + std::to_string(right.size()) + " bits to " +
                  std::to_string(left.size()) + " bits");
      for (std::size_t i = 0; i < left.size(); ++i) _nets.join(left[i], right[i]);
    }
    for (const Instance& instance : module.instances) {
      const auto child = _netlist.modules.find(instance.cellType);
      if (child != _netlist.modules.end()) {
        stack.push_back(bindModule(work.prefix, module, instance, child->second));
        continue;
      }
      FlatInstance cell{
          work.prefix + instance.name, instance.cellType, {}, module.file, instance.line};
      for (std::size_t index = 0; index < instance.connections.size(); ++index) {
        const Connection& connection = instance.connections[index];
        const std::string& pin =
            connection.pin.empty() ? getOrderedPin(module, instance, index) : connection.pin;
        const Bits bits = getBits(work.prefix, module, connection.expression, instance.line);
        for (std::size_t i = 0; i < bits.size(); ++i)
          cell.pins.push_back(
              {bits.size() == 1 ? pin : bitName(pin, true, static_cast<int>(bits.size() - 1 - i)),
               bits[i]});
      }
      _flat.instances.push_back(std::move(cell));
    }
  }

  const std::string& getOrderedPin(const Module& module, const Instance& instance,
                                   std::size_t index) const {
    const auto found = _pins.find(instance.cellType);
    if (found == _pins.end())
      error(module, instance.line,
            "positional connections to cell " + instance.cellType +
                " need its pin order (--pin-order)");
    if (index >= found->second.size())
      error(module, instance.line,
            "too many connections to cell " + instance.cellType + ": its pin order has " +
                std::to_string(found->second.size()) + " pins");
    return found->second[index];
  }

  Work bindModule(const std::string& prefix, const Module& module, const Instance& instance,
                  const Module& child) {
    Work work{&child, prefix + instance.name + _divider, {}};
    for (std::size_t i = 0; i < instance.connections.size(); ++i) {
      const Connection& connection = instance.connections[i];
      std::string port = connection.pin;
      if (port.empty()) {
        if (i >= child.ports.size())
          error(module, instance.line, "too many connections to module " + child.name);
        port = child.ports[i];
      } else if (std::find(child.ports.begin(), child.ports.end(), port) == child.ports.end()) {
        error(module, instance.line, "module " + child.name + " has no port \"" + port + "\"");
      }
      if (!connection.expression.empty())
        work.bindings[port] = getBits(prefix, module, connection.expression, instance.line);
    }
    return work;
  }

  static int indexOf(const NetDecl& net, std::size_t position) {
    const int step = net.msb >= net.lsb ? -1 : 1;
    return net.msb + step * static_cast<int>(position);
  }

  void declare(const std::string& prefix, const Module& module, const NetDecl& net) {
    Bits& bits = _local[net.name];
    const std::size_t width =
        static_cast<std::size_t>(std::abs(static_cast<long long>(net.msb) - net.lsb)) + 1;
    if (width > kMaximumWidth)
      error(module, net.line,
            "\"" + net.name + "\" is wider than " + std::to_string(kMaximumWidth) + " bits");
    for (std::size_t i = 0; i < (net.bus ? width : 1); ++i) {
      const std::string name = prefix + bitName(net.name, net.bus, indexOf(net, i));
      bits.push_back(_nets.add(name, 0));
      _flat.netByName.emplace(name, bits.back());
    }
  }

  Bits getBits(const std::string& prefix, const Module& module, const Expression& expression,
               std::size_t line) {
    Bits bits;
    for (const Part& part : expression) {
      if (part.name.empty()) {
        for (char bit : part.constant)
          bits.push_back(bit == '0'   ? 0
                         : bit == '1' ? 1
                                      : _nets.add(std::string("1'b") + bit, bit));
        continue;
      }
      const auto found = module.nets.find(part.name);
      if (found == module.nets.end()) {
        // An undeclared name is an implicit one-bit wire.
        if (part.select) error(module, line, "\"" + part.name + "\" is not declared");
        if (!_local.count(part.name))
          declare(prefix, module, NetDecl{part.name, Direction::None, false, 0, 0, line});
        bits.push_back(_local[part.name].front());
        continue;
      }
      const NetDecl& net = found->second;
      const Bits& all = _local[part.name];
      if (!part.select) {
        bits.insert(bits.end(), all.begin(), all.end());
        continue;
      }
      const auto position = [&](int index) {
        const int offset = net.msb >= net.lsb ? net.msb - index : index - net.msb;
        if (!net.bus || offset < 0 || offset >= static_cast<int>(all.size()))
          error(module, line,
                "\"" + part.name + "[" + std::to_string(index) + "]\" is out of range");
        return offset;
      };
      const int first = position(part.msb);
      const int last = position(part.lsb);
      for (int i = first;; i += first <= last ? 1 : -1) {
        bits.push_back(all[i]);
        if (i == last) break;
      }
    }
    if (bits.size() > kMaximumWidth)
      error(module, line, "expression wider than " + std::to_string(kMaximumWidth) + " bits");
    return bits;
  }

  const Netlist& _netlist;
  char _divider;
  const PinOrder& _pins;
  NetUnion _nets;
  FlatNetlist _flat;
  std::map<std::string, Bits> _local;
};

// The modules that no other instantiates, after checking in instantiation
// order (Kahn's algorithm) that no module contains itself.
std::vector<const Module*> getRoots(const Netlist& netlist) {
  std::map<std::string, std::size_t> users;
  for (const auto& [name, module] : netlist.modules) users.emplace(name, 0);
  for (const auto& [name, module] : netlist.modules)
    for (const Instance& instance : module.instances)
      if (users.count(instance.cellType)) ++users[instance.cellType];
  std::vector<const Module*> roots;
  for (const auto& [name, count] : users)
    if (count == 0) roots.push_back(&netlist.modules.at(name));
  std::vector<const Module*> queue = roots;
  while (!queue.empty()) {
    const Module* module = queue.back();
    queue.pop_back();
    for (const Instance& instance : module->instances) {
      const auto found = users.find(instance.cellType);
      if (found != users.end() && --found->second == 0)
        queue.push_back(&netlist.modules.at(found->first));
    }
  }
  for (const auto& [name, count] : users)
    if (count > 0) {
      const Module& module = netlist.modules.at(name);
      fail(kSource, "flatten", module.file, module.line, "module " + name + " instantiates itself");
    }
  return roots;
}

const Module& findTop(const Netlist& netlist, const std::string& top) {
  if (netlist.modules.empty()) fail(kSource, "flatten", "", 0, "no Verilog module read");
  const std::vector<const Module*> roots = getRoots(netlist);
  if (!top.empty()) {
    const auto found = netlist.modules.find(top);
    if (found == netlist.modules.end())
      fail(kSource, "flatten", "", 0, "no module named \"" + top + "\"");
    return found->second;
  }
  if (roots.size() > 1) {
    std::string names;
    for (const Module* module : roots) names += (names.empty() ? "" : ", ") + module->name;
    fail(kSource, "flatten", roots.front()->file, roots.front()->line,
         "several top modules (" + names + "); choose one with --top");
  }
  return *roots.front();
}

}  // namespace

FlatNetlist flatten(const Netlist& netlist, const std::string& top, char divider,
                    const PinOrder& pins) {
  const Module& module = findTop(netlist, top);
  return Flattening(netlist, divider, pins).run(module);
}

}  // namespace MorvaImport
