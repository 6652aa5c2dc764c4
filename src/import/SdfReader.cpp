#include "SdfReader.h"

#include "Message.h"
#include "TextFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/SdfReader";

// The file as a tree of lists and atoms, kept in one array and linked by
// indices, so that neither building nor freeing it recurses.
struct Node {
  std::string_view text;  // atom or string text; empty for a list
  std::size_t line = 0;
  int first = -1;  // first child of a list
  int next = -1;   // next sibling
  bool list = false;
  bool quoted = false;
};

class Tree {
 public:
  Tree(const std::string& file, std::string_view text) : _file(file) { build(text); }

  const Node& operator[](int index) const { return _nodes[static_cast<std::size_t>(index)]; }
  int getRoot() const { return _root; }
  const std::string& getFile() const { return _file; }

  [[noreturn]] void error(std::size_t line, const std::string& text) const {
    fail(kSource, "read", _file, line, text);
  }

 private:
  void build(std::string_view text) {
    _nodes.reserve(text.size() / 6);
    std::vector<int> open;  // lists not yet closed
    std::vector<int> last;  // their last child so far
    int previousTop = -1;
    std::size_t line = 1;
    const auto append = [&](Node node) {
      const int index = static_cast<int>(_nodes.size());
      _nodes.push_back(node);
      if (open.empty()) {
        if (previousTop >= 0) error(node.line, "text after the end of the delay file");
        previousTop = _root = index;
      } else {
        int& tail = last.back();
        if (tail < 0)
          _nodes[static_cast<std::size_t>(open.back())].first = index;
        else
          _nodes[static_cast<std::size_t>(tail)].next = index;
        tail = index;
      }
      return index;
    };
    std::size_t at = 0;
    while (at < text.size()) {
      const char c = text[at];
      if (c == '\n') {
        ++line;
        ++at;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++at;
      } else if (c == '(') {
        Node node;
        node.list = true;
        node.line = line;
        open.push_back(append(node));
        last.push_back(-1);
        ++at;
      } else if (c == ')') {
        if (open.empty()) error(line, "unbalanced \")\"");
        open.pop_back();
        last.pop_back();
        ++at;
      } else if (c == '"') {
        const std::size_t end = text.find('"', at + 1);
        if (end == std::string_view::npos) error(line, "string not closed");
        Node node;
        node.text = text.substr(at + 1, end - at - 1);
        node.line = line;
        node.quoted = true;
        append(node);
        line += static_cast<std::size_t>(std::count(node.text.begin(), node.text.end(), '\n'));
        at = end + 1;
      } else if (text.compare(at, 2, "//") == 0) {
        while (at < text.size() && text[at] != '\n') ++at;
      } else if (text.compare(at, 2, "/*") == 0) {
        const std::size_t end = text.find("*/", at + 2);
        if (end == std::string_view::npos) error(line, "comment not closed");
        line += static_cast<std::size_t>(std::count(text.begin() + static_cast<long>(at),
                                                    text.begin() + static_cast<long>(end), '\n'));
        at = end + 2;
      } else {
        const std::size_t start = at;
        while (at < text.size()) {
          const char d = text[at];
          if (d == '\\' && at + 1 < text.size() && text[at + 1] != '\n') {
            at += 2;
            continue;
          }
          if (d == '(' || d == ')' || d == '"' || std::isspace(static_cast<unsigned char>(d)))
            break;
          ++at;
        }
        Node node;
        node.text = text.substr(start, at - start);
        node.line = line;
        append(node);
      }
    }
    if (!open.empty())
      error(_nodes[static_cast<std::size_t>(open.back())].line, "\"(\" not closed");
    if (_root < 0) error(line, "empty delay file");
  }

  const std::string& _file;
  std::vector<Node> _nodes;
  int _root = -1;
};

std::string unescape(std::string_view text) {
  std::string name;
  name.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    name += text[i];
  }
  return name;
}

bool isWord(std::string_view text, std::string_view word) {
  return text.size() == word.size() &&
         std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == b;
         });
}

// Reads the entries of one file's tree.
class Interpreter {
 public:
  Interpreter(const Tree& tree, SdfData& data, Corner corner)
      : _tree(tree), _data(data), _corner(corner) {}

  void run() {
    const int root = _tree.getRoot();
    if (!_tree[root].list || !isWord(headOf(root), "DELAYFILE"))
      _tree.error(_tree[root].line, "expected \"(DELAYFILE\"");
    for (int child = afterHead(root); child >= 0; child = _tree[child].next) {
      const std::string_view head = expectList(child);
      if (isWord(head, "CELL"))
        readCell(child);
      else if (isWord(head, "DIVIDER"))
        readDivider(child);
      else if (isWord(head, "TIMESCALE"))
        readTimescale(child);
      else if (!isWord(head, "SDFVERSION") && !isWord(head, "DESIGN") && !isWord(head, "DATE") &&
               !isWord(head, "VENDOR") && !isWord(head, "PROGRAM") && !isWord(head, "VERSION") &&
               !isWord(head, "VOLTAGE") && !isWord(head, "PROCESS") && !isWord(head, "TEMPERATURE"))
        unknown(child);
    }
  }

 private:
  [[noreturn]] void unknown(int node) const {
    _tree.error(_tree[node].line, "unexpected \"" + std::string(headOf(node)) + "\"");
  }
  std::string_view headOf(int node) const {
    const int first = _tree[node].first;
    return first >= 0 && !_tree[first].list ? _tree[first].text : std::string_view();
  }
  int afterHead(int node) const { return _tree[_tree[node].first].next; }
  std::string_view expectList(int node) const {
    if (!_tree[node].list || headOf(node).empty())
      _tree.error(_tree[node].line, "expected a \"(KEYWORD\" entry");
    return headOf(node);
  }
  // The children of a list after its keyword, checked against a count.
  std::vector<int> getArguments(int node, std::size_t least, std::size_t most) const {
    std::vector<int> arguments;
    for (int child = afterHead(node); child >= 0; child = _tree[child].next)
      arguments.push_back(child);
    if (arguments.size() < least || arguments.size() > most)
      _tree.error(_tree[node].line, "wrong number of fields in " + std::string(headOf(node)));
    return arguments;
  }
  std::string getAtom(int node) const {
    if (_tree[node].list) _tree.error(_tree[node].line, "expected a name");
    return unescape(_tree[node].text);
  }

  void readDivider(int node) {
    const std::vector<int> arguments = getArguments(node, 1, 1);
    const std::string_view text = _tree[arguments[0]].text;
    if (_tree[arguments[0]].list || (text != "/" && text != "."))
      _tree.error(_tree[node].line, "the divider is \"/\" or \".\"");
    _data.divider = text[0];
    _data.dividerSet = true;
  }

  void readTimescale(int node) {
    const std::vector<int> arguments = getArguments(node, 1, 2);
    std::string text;
    for (int argument : arguments) text += getAtom(argument);
    double number = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    const std::string unit(result.ptr,
                           static_cast<std::size_t>(text.data() + text.size() - result.ptr));
    const double scale = unit == "s"    ? 1e12
                         : unit == "ms" ? 1e9
                         : unit == "us" ? 1e6
                         : unit == "ns" ? 1e3
                         : unit == "ps" ? 1
                         : unit == "fs" ? 1e-3
                                        : 0;
    if (result.ec != std::errc() || (number != 1 && number != 10 && number != 100) || scale == 0)
      _tree.error(_tree[node].line, "bad time scale \"" + text + "\"");
    _scale = number * scale;
  }

  void readCell(int node) {
    std::string cellType;
    std::optional<std::string> instance;
    for (int child = afterHead(node); child >= 0; child = _tree[child].next) {
      const std::string_view head = expectList(child);
      if (isWord(head, "CELLTYPE")) {
        cellType = unescape(_tree[getArguments(child, 1, 1)[0]].text);
      } else if (isWord(head, "INSTANCE")) {
        const std::vector<int> arguments = getArguments(child, 0, 1);
        instance = arguments.empty() ? "" : getAtom(arguments[0]);
      } else if (isWord(head, "DELAY")) {
        if (!instance) _tree.error(_tree[child].line, "DELAY before INSTANCE");
        readDelay(child, cellType, *instance);
      } else if (isWord(head, "TIMINGCHECK")) {
        if (!instance) _tree.error(_tree[child].line, "TIMINGCHECK before INSTANCE");
        readChecks(child, cellType, *instance);
      } else if (isWord(head, "TIMINGENV") || isWord(head, "LABEL")) {
        ignore(child);
      } else {
        unknown(child);
      }
    }
  }

  void ignore(int node) {
    auto& [place, count] = _data.ignored[std::string(headOf(node))];
    if (count++ == 0) place = {_tree.getFile(), _tree[node].line};
  }

  std::string getPath(const std::string& instance, int node) const {
    const std::string name = getAtom(node);
    return instance.empty() || instance == "*" ? name : instance + _data.divider + name;
  }

  // A port: a name, or "(posedge NAME)" / "(negedge NAME)",
  // possibly under "(COND expression ...)" in a timing check.
  std::string getPort(int node, char& edge) const {
    edge = 0;
    if (!_tree[node].list) return getAtom(node);
    std::string_view head = expectList(node);
    if (isWord(head, "COND")) {
      int last = afterHead(node);
      if (last < 0) _tree.error(_tree[node].line, "empty COND");
      while (_tree[last].next >= 0) last = _tree[last].next;
      if (!_tree[last].list) return getAtom(last);
      node = last;
      head = expectList(node);
    }
    if (isWord(head, "POSEDGE"))
      edge = 'r';
    else if (isWord(head, "NEGEDGE"))
      edge = 'f';
    else if (!isWord(head, "01") && !isWord(head, "10") && !isWord(head, "0Z") &&
             !isWord(head, "Z1") && !isWord(head, "1Z") && !isWord(head, "Z0"))
      _tree.error(_tree[node].line, "bad port \"" + std::string(head) + "\"");
    return getAtom(getArguments(node, 1, 1)[0]);
  }

  void readDelay(int node, const std::string& cellType, const std::string& instance) {
    for (int mode = afterHead(node); mode >= 0; mode = _tree[mode].next) {
      const std::string_view head = expectList(mode);
      const bool increment = isWord(head, "INCREMENT");
      if (isWord(head, "PATHPULSE") || isWord(head, "PATHPULSEPERCENT")) continue;
      if (!increment && !isWord(head, "ABSOLUTE")) unknown(mode);
      for (int definition = afterHead(mode); definition >= 0; definition = _tree[definition].next)
        readDefinition(definition, cellType, instance, increment);
    }
  }

  void readDefinition(int node, const std::string& cellType, const std::string& instance,
                      bool increment) {
    std::string_view head = expectList(node);
    if (isWord(head, "COND") || isWord(head, "CONDELSE")) {
      int last = afterHead(node);
      if (last < 0) _tree.error(_tree[node].line, "empty " + std::string(head));
      while (_tree[last].next >= 0) last = _tree[last].next;
      if (!_tree[last].list || !isWord(headOf(last), "IOPATH"))
        _tree.error(_tree[node].line, std::string(head) + " without IOPATH");
      node = last;
      head = headOf(node);
    }
    SdfEntry entry;
    entry.increment = increment;
    entry.cellType = cellType;
    entry.instance = instance;
    entry.place = {_tree.getFile(), _tree[node].line};
    int values = -1;
    char edge = 0;
    if (isWord(head, "IOPATH")) {
      const int input = afterHead(node);
      if (input < 0 || _tree[input].next < 0)
        _tree.error(_tree[node].line, "IOPATH needs two ports");
      entry.kind = SdfEntry::Kind::IOPath;
      entry.from = getPort(input, edge);
      entry.to = getAtom(_tree[input].next);
      values = _tree[_tree[input].next].next;
      // RETAIN entries come before the delays.
      while (values >= 0 && _tree[values].list && isWord(headOf(values), "RETAIN"))
        values = _tree[values].next;
    } else if (isWord(head, "INTERCONNECT")) {
      const int source = afterHead(node);
      if (source < 0 || _tree[source].next < 0)
        _tree.error(_tree[node].line, "INTERCONNECT needs two ports");
      entry.kind = SdfEntry::Kind::Interconnect;
      entry.from = getPath(instance, source);
      entry.to = getPath(instance, _tree[source].next);
      values = _tree[_tree[source].next].next;
    } else if (isWord(head, "PORT") || isWord(head, "NETDELAY")) {
      const int port = afterHead(node);
      if (port < 0) _tree.error(_tree[node].line, std::string(head) + " needs a name");
      entry.kind = isWord(head, "PORT") ? SdfEntry::Kind::Port : SdfEntry::Kind::NetDelay;
      entry.to = getPath(instance, port);
      values = _tree[port].next;
    } else if (isWord(head, "DEVICE")) {
      entry.kind = SdfEntry::Kind::Device;
      values = afterHead(node);
      if (values >= 0 && !_tree[values].list) {
        entry.to = getAtom(values);  // a pin of this cell
        values = _tree[values].next;
      }
    } else {
      unknown(node);
    }
    const std::optional<Bounds> bounds = readValues(node, values, false);
    if (!bounds) return;  // no delay given for any transition
    entry.bounds = *bounds;
    _data.entries.push_back(std::move(entry));
  }

  void readChecks(int node, const std::string& cellType, const std::string& instance) {
    for (int check = afterHead(node); check >= 0; check = _tree[check].next) {
      const std::string_view head = expectList(check);
      const bool setup = isWord(head, "SETUP"), hold = isWord(head, "HOLD"),
                 both = isWord(head, "SETUPHOLD");
      const bool recovery = isWord(head, "RECOVERY"), removal = isWord(head, "REMOVAL"),
                 recrem = isWord(head, "RECREM");
      if (!setup && !hold && !both && !recovery && !removal && !recrem) {
        ignore(check);
        continue;
      }
      const bool pair = both || recrem;
      const std::vector<int> arguments = getArguments(check, pair ? 4 : 3, pair ? 6 : 3);
      SdfEntry entry;
      entry.kind =
          setup || hold || both ? SdfEntry::Kind::SetupHold : SdfEntry::Kind::RecoveryRemoval;
      entry.cellType = cellType;
      entry.instance = instance;
      entry.place = {_tree.getFile(), _tree[check].line};
      char dataEdge = 0;
      entry.from = getPort(arguments[0], dataEdge);
      entry.to = getPort(arguments[1], entry.clockEdge);
      const std::optional<Bounds> first = readValues(check, arguments[2], true);
      const std::optional<Bounds> second = pair ? readValues(check, arguments[3], true) : first;
      // The maximum bound of an entry holds the setup (recovery) time and
      // the minimum bound the hold (removal) time, each at its worst.
      entry.hasMaximum = (setup || recovery || pair) && first;
      entry.hasMinimum = (hold || removal || pair) && second;
      if (!entry.hasMaximum && !entry.hasMinimum) continue;
      if (entry.hasMaximum) entry.bounds.maximum = first->maximum;
      if (entry.hasMinimum) entry.bounds.minimum = (pair ? second : first)->maximum;
      _data.entries.push_back(std::move(entry));
    }
  }

  // The delays of an entry: one value for a check (`single`), else one to
  // twelve transitions. Empty values are left out; nothing given at all
  // answers no bounds.
  std::optional<Bounds> readValues(int owner, int node, bool single) const {
    std::optional<Bounds> bounds;
    std::size_t count = 0;
    for (; node >= 0; node = _tree[node].next) {
      if (single && count == 1) break;
      if (!_tree[node].list) _tree.error(_tree[node].line, "expected a delay value in parentheses");
      if (++count > 12) _tree.error(_tree[owner].line, "more than twelve delay values");
      int value = _tree[node].first;
      // "((r) (l))": a value and its pulse limits; the value counts.
      if (value >= 0 && _tree[value].list) value = _tree[value].first;
      if (value < 0) continue;
      std::string text;
      for (int part = value; part >= 0; part = _tree[part].next) {
        if (_tree[part].list) _tree.error(_tree[part].line, "bad delay value");
        text += _tree[part].text;
      }
      const std::optional<Bounds> one = readTriple(text, _tree[node].line);
      if (!one) continue;
      if (!bounds) bounds = one;
      bounds->minimum = std::min(bounds->minimum, one->minimum);
      bounds->maximum = std::max(bounds->maximum, one->maximum);
    }
    if (count == 0) _tree.error(_tree[owner].line, "delay value missing");
    return bounds;
  }

  // "n", "min:typ:max" with any field possibly empty.
  std::optional<Bounds> readTriple(const std::string& text, std::size_t line) const {
    std::optional<long long> fields[3];
    std::size_t start = 0;
    int index = 0;
    for (;;) {
      const std::size_t colon = text.find(':', start);
      const std::string_view field = std::string_view(text).substr(
          start, colon == std::string::npos ? std::string::npos : colon - start);
      if (index > 2) _tree.error(line, "bad delay value \"" + text + "\"");
      if (!field.empty()) fields[index] = toPicoseconds(field, line);
      ++index;
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
    if (index == 1)
      fields[1] = fields[2] = fields[0];
    else if (index != 3)
      _tree.error(line, "bad delay value \"" + text + "\"");
    const auto pick = [&fields](int a, int b, int c) -> std::optional<long long> {
      return fields[a] ? fields[a] : fields[b] ? fields[b] : fields[c];
    };
    const std::optional<long long> low = _corner == Corner::Typical ? pick(1, 0, 2) : pick(0, 1, 2);
    const std::optional<long long> high =
        _corner == Corner::Typical ? pick(1, 2, 0) : pick(2, 1, 0);
    if (!low) return std::nullopt;
    return Bounds{*low, *high};
  }

  long long toPicoseconds(std::string_view text, std::size_t line) const {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    const double picoseconds = std::round(value * _scale);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value) || std::abs(picoseconds) > 1e9)
      _tree.error(line, "bad delay value \"" + std::string(text) + "\"");
    return static_cast<long long>(picoseconds);
  }

  const Tree& _tree;
  SdfData& _data;
  Corner _corner;
  double _scale = 1000;  // picoseconds per unit: 1ns unless the file says otherwise
};

}  // namespace

void SdfReader::readFile(const std::string& fileName) {
  readText(fileName, readTextFile(fileName));
}

void SdfReader::readText(const std::string& fileName, const std::string& text) {
  const Tree tree(fileName, text);
  Interpreter(tree, _data, _corner).run();
}

}  // namespace MorvaImport
