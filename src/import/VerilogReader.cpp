#include "VerilogReader.h"

#include "Message.h"
#include "TextFile.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace MorvaImport {

namespace {

constexpr const char* kSource = "import/VerilogReader";

enum class Kind { End, Name, Number, Symbol };

struct Token {
  Kind kind = Kind::End;
  std::string_view text;
  std::string escaped;  // the name of an escaped identifier, backslash and blank removed
  std::size_t line = 0;
  std::string_view name() const { return escaped.empty() ? text : std::string_view(escaped); }
};

// Splits the text into names, numbers and one-character symbols, skipping
// blanks, comments, attributes and compiler directives.
class Lexer {
 public:
  Lexer(const std::string& file, std::string_view text) : _file(file), _text(text) {}

  Token next() {
    skip();
    Token token;
    token.line = _line;
    if (_at >= _text.size()) return token;
    const std::size_t start = _at;
    const char c = _text[_at];
    if (c == '\\') {
      ++_at;
      while (_at < _text.size() && !isBlank(_text[_at]) && _text[_at] != '\n') ++_at;
      token.kind = Kind::Name;
      token.text = _text.substr(start, _at - start);
      token.escaped = std::string(_text.substr(start + 1, _at - start - 1));
      if (token.escaped.empty()) error(_line, "empty escaped identifier");
    } else if (isLetter(c) || c == '_' || c == '$') {
      while (_at < _text.size() && isNameChar(_text[_at])) ++_at;
      token.kind = Kind::Name;
      token.text = _text.substr(start, _at - start);
    } else if (isDigit(c) || c == '\'') {
      while (_at < _text.size() && (isNameChar(_text[_at]) || _text[_at] == '\'')) ++_at;
      token.kind = Kind::Number;
      token.text = _text.substr(start, _at - start);
    } else {
      ++_at;
      token.kind = Kind::Symbol;
      token.text = _text.substr(start, 1);
    }
    return token;
  }

  [[noreturn]] void error(std::size_t line, const std::string& text) const {
    fail(kSource, "read", _file, line, text);
  }

 private:
  static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  static bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
  }
  static bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '$'; }

  void skip() {
    while (_at < _text.size()) {
      const char c = _text[_at];
      if (c == '\n') {
        ++_line;
        ++_at;
      } else if (isBlank(c)) {
        ++_at;
      } else if (c == '`' || (c == '/' && _text.compare(_at, 2, "//") == 0)) {
        while (_at < _text.size() && _text[_at] != '\n') ++_at;
      } else if ((c == '/' || c == '(') &&
                 (_text.compare(_at, 2, "/*") == 0 || _text.compare(_at, 2, "(*") == 0)) {
        const std::string_view close = _text[_at] == '/' ? "*/" : "*)";
        const std::size_t line = _line;
        const std::size_t end = _text.find(close, _at + 2);
        if (end == std::string_view::npos) error(line, "comment or attribute not closed");
        for (std::size_t i = _at; i < end; ++i) _line += _text[i] == '\n';
        _at = end + 2;
      } else {
        return;
      }
    }
  }

  const std::string& _file;
  std::string_view _text;
  std::size_t _at = 0;
  std::size_t _line = 1;
};

// Reads the modules of one file, statement by statement.
class Parser {
 public:
  Parser(Netlist& netlist, const std::string& file, std::string_view text)
      : _netlist(netlist), _file(file), _lexer(file, text) {
    advance();
  }

  void parse() {
    while (_token.kind != Kind::End) {
      if (!isName("module") && !isName("macromodule")) error("expected \"module\"");
      parseModule();
    }
  }

 private:
  void advance() { _token = _lexer.next(); }
  bool isName(std::string_view word) const {
    return _token.kind == Kind::Name && _token.escaped.empty() && _token.text == word;
  }
  bool isSymbol(char c) const { return _token.kind == Kind::Symbol && _token.text[0] == c; }
  [[noreturn]] void error(const std::string& text) const {
    const std::string found =
        _token.kind == Kind::End ? "end of file" : "\"" + std::string(_token.text) + "\"";
    _lexer.error(_token.line, text + ", found " + found);
  }
  void expect(char c) {
    if (!isSymbol(c)) error(std::string("expected \"") + c + "\"");
    advance();
  }
  std::string takeName(const char* what) {
    if (_token.kind != Kind::Name) error(std::string("expected ") + what);
    std::string name(_token.name());
    advance();
    return name;
  }
  int takeInteger() {
    int value = 0;
    const std::string_view text = _token.text;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (_token.kind != Kind::Number || result.ec != std::errc() ||
        result.ptr != text.data() + text.size())
      error("expected an integer");
    advance();
    return value;
  }
  // Skips a balanced group that starts at the current "(".
  void skipGroup() {
    std::size_t depth = 0;
    do {
      if (_token.kind == Kind::End) error("unbalanced parentheses");
      if (isSymbol('(')) ++depth;
      if (isSymbol(')')) --depth;
      advance();
    } while (depth > 0);
  }
  void skipStatement() {
    while (!isSymbol(';')) {
      if (_token.kind == Kind::End) error("expected \";\"");
      advance();
    }
    advance();
  }

  static Direction getDirection(std::string_view word) {
    if (word == "input") return Direction::Input;
    if (word == "output") return Direction::Output;
    if (word == "inout") return Direction::Inout;
    return Direction::None;
  }
  static bool isNetKind(std::string_view word) {
    return word == "wire" || word == "tri" || word == "wand" || word == "wor" || word == "reg" ||
           word == "supply0" || word == "supply1" || word == "logic";
  }

  void parseModule() {
    advance();
    Module module;
    module.file = _file;
    module.line = _token.line;
    module.name = takeName("a module name");
    if (_netlist.modules.count(module.name))
      _lexer.error(module.line, "module " + module.name + " defined twice");
    _module = &module;
    if (isSymbol('#')) {
      advance();
      skipGroup();
    }
    if (isSymbol('(')) parseHeader();
    expect(';');
    while (!isName("endmodule")) parseItem();
    advance();
    _module = nullptr;
    _netlist.modules.emplace(module.name, std::move(module));
  }

  void parseHeader() {
    advance();
    Direction direction = Direction::None;
    NetDecl range;
    while (!isSymbol(')')) {
      if (_token.kind == Kind::Name && getDirection(_token.text) != Direction::None) {
        direction = getDirection(_token.text);
        advance();
        range = parseTypeAndRange();
      }
      const std::size_t line = _token.line;
      const std::string name = takeName("a port name");
      _module->ports.push_back(name);
      if (direction != Direction::None) declare(name, direction, range, line);
      if (!isSymbol(',')) break;
      advance();
    }
    expect(')');
  }

  // The optional net kind, "signed" and range after a direction or kind.
  NetDecl parseTypeAndRange() {
    while (_token.kind == Kind::Name && (isNetKind(_token.text) || _token.text == "signed"))
      advance();
    NetDecl range;
    if (isSymbol('[')) {
      advance();
      range.bus = true;
      range.msb = takeInteger();
      expect(':');
      range.lsb = takeInteger();
      expect(']');
    }
    return range;
  }

  void declare(const std::string& name, Direction direction, const NetDecl& range,
               std::size_t line) {
    NetDecl& net = _module->nets[name];
    if (!net.name.empty()) {
      if ((net.direction != Direction::None && direction != Direction::None) ||
          net.bus != range.bus || net.msb != range.msb || net.lsb != range.lsb)
        _lexer.error(line, "\"" + name + "\" declared twice");
    } else {
      net = range;
      net.name = name;
      net.line = line;
    }
    if (direction != Direction::None) net.direction = direction;
  }

  void parseItem() {
    if (_token.kind != Kind::Name) error("expected a declaration or an instance");
    const std::string_view word = _token.text;
    if (getDirection(word) != Direction::None || isNetKind(word)) {
      parseDeclaration();
    } else if (word == "assign") {
      advance();
      parseAssigns();
    } else if (word == "parameter" || word == "localparam" || word == "defparam" ||
               word == "timeunit" || word == "timeprecision") {
      skipStatement();
    } else if (word == "specify") {
      while (!isName("endspecify")) {
        if (_token.kind == Kind::End) error("expected \"endspecify\"");
        advance();
      }
      advance();
    } else if (word == "always" || word == "initial" || word == "function" || word == "task" ||
               word == "generate") {
      error("behavioural Verilog is not read; give a gate-level netlist");
    } else {
      parseInstances();
    }
  }

  void parseDeclaration() {
    const Direction direction = getDirection(_token.text);
    const char supply = _token.text == "supply0" ? '0' : _token.text == "supply1" ? '1' : 0;
    advance();
    const NetDecl range = parseTypeAndRange();
    for (;;) {
      const std::size_t line = _token.line;
      const std::string name = takeName("a net name");
      declare(name, direction, range, line);
      if (supply)
        _module->assigns.push_back(
            {{Part{name, 0, 0, 0, {}}}, {Part{"", 0, 0, 0, {supply}}}, line});
      if (isSymbol('=')) {
        advance();
        _module->assigns.push_back({{Part{name, 0, 0, 0, {}}}, parseExpression(), line});
      }
      if (!isSymbol(',')) break;
      advance();
    }
    expect(';');
  }

  void parseAssigns() {
    for (;;) {
      const std::size_t line = _token.line;
      Expression left = parseExpression();
      expect('=');
      _module->assigns.push_back({std::move(left), parseExpression(), line});
      if (!isSymbol(',')) break;
      advance();
    }
    expect(';');
  }

  void parseInstances() {
    const std::string cellType = takeName("a cell type");
    if (isSymbol('#')) {
      advance();
      skipGroup();
    }
    for (;;) {
      Instance instance;
      instance.cellType = cellType;
      instance.line = _token.line;
      instance.name = takeName("an instance name");
      if (isSymbol('[')) error("instance arrays are not read");
      expect('(');
      parseConnections(instance);
      expect(')');
      _module->instances.push_back(std::move(instance));
      if (!isSymbol(',')) break;
      advance();
    }
    expect(';');
  }

  void parseConnections(Instance& instance) {
    if (isSymbol(')')) return;
    instance.connections.reserve(4);
    for (;;) {
      Connection connection;
      if (isSymbol('.')) {
        advance();
        connection.pin = takeName("a pin name");
        expect('(');
        if (!isSymbol(')')) connection.expression = parseExpression();
        expect(')');
      } else {
        connection.expression = parseExpression();
      }
      if (!instance.connections.empty() &&
          instance.connections.front().pin.empty() != connection.pin.empty())
        error("named and positional connections mixed");
      instance.connections.push_back(std::move(connection));
      if (!isSymbol(',')) break;
      advance();
    }
  }

  Expression parseExpression() {
    Expression expression;
    parseTerm(expression);
    return expression;
  }

  // One primary or concatenation. Nested concatenations and replications are
  // read by an explicit stack of open braces, never by recursion.
  void parseTerm(Expression& expression) {
    struct Open {
      std::size_t start;
      int repeat;
    };
    std::vector<Open> open;
    for (;;) {
      if (isSymbol('{')) {
        advance();
        open.push_back({expression.size(), 1});
        continue;
      }
      const Token first = _token;
      parsePrimary(expression);
      if (isSymbol('{')) {
        // `{N{...}}`: the number just read is the replication count.
        if (open.empty() || first.kind != Kind::Number ||
            expression.size() != open.back().start + 1)
          error("expected \",\" or \"}\"");
        expression.pop_back();
        open.back().repeat = readDecimal(first);
        continue;
      }
      for (;;) {
        if (open.empty()) return;
        if (isSymbol(',')) {
          advance();
          break;
        }
        expect('}');
        const Open top = open.back();
        open.pop_back();
        const Expression once(expression.begin() + static_cast<long>(top.start), expression.end());
        expression.resize(top.start);
        if (once.size() * static_cast<std::size_t>(top.repeat) > 4096)
          _lexer.error(_token.line, "replication too large");
        for (int copy = 0; copy < top.repeat; ++copy)
          expression.insert(expression.end(), once.begin(), once.end());
      }
    }
  }

  int readDecimal(const Token& token) const {
    int value = 0;
    const auto result =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
    if (result.ec != std::errc() || result.ptr != token.text.data() + token.text.size() ||
        value < 0 || value > 4096)
      _lexer.error(token.line, "bad replication count \"" + std::string(token.text) + "\"");
    return value;
  }

  void parsePrimary(Expression& expression) {
    if (_token.kind == Kind::Number) {
      expression.push_back(Part{"", 0, 0, 0, parseConstant()});
      advance();
      return;
    }
    Part part;
    part.name = takeName("a net name or constant");
    if (isSymbol('[')) {
      advance();
      part.select = 1;
      part.msb = part.lsb = takeInteger();
      if (isSymbol(':')) {
        advance();
        part.select = 2;
        part.lsb = takeInteger();
      }
      expect(']');
    }
    expression.push_back(std::move(part));
  }

  // A sized or plain constant as its bits, most significant first.
  std::vector<char> parseConstant() const {
    const std::string_view text = _token.text;
    const std::size_t quote = text.find('\'');
    std::size_t width = 32;
    if (quote != 0) {
      const auto result = std::from_chars(
          text.data(), text.data() + (quote == std::string_view::npos ? text.size() : quote),
          width);
      if (result.ec != std::errc() || width == 0 || width > 4096) error("bad constant");
    }
    if (quote == std::string_view::npos) return toBits(text, 10, width);
    if (quote + 2 > text.size()) error("bad constant");
    std::size_t at = quote + 1;
    if (text[at] == 's' || text[at] == 'S') ++at;
    if (at + 1 >= text.size()) error("bad constant");
    const char base = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
    const int radix = base == 'b' ? 2 : base == 'o' ? 8 : base == 'h' ? 16 : base == 'd' ? 10 : 0;
    if (!radix) error("bad constant");
    return toBits(text.substr(at + 1), radix, width);
  }

  std::vector<char> toBits(std::string_view digits, int radix, std::size_t width) const {
    std::vector<char> bits;  // least significant first while building
    if (radix == 10) {
      unsigned long long value = 0;
      const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        error("bad constant");
      for (std::size_t bit = 0; bit < width; ++bit)
        bits.push_back(bit < 64 && (value >> bit & 1) ? '1' : '0');
    } else {
      const int size = radix == 2 ? 1 : radix == 8 ? 3 : 4;
      for (std::size_t i = digits.size(); i-- > 0;) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(digits[i])));
        if (c == '_') continue;
        int value = 0;
        char fill = 0;
        if (c == 'x' || c == 'z' || c == '?')
          fill = c == '?' ? 'z' : c;
        else if (std::isxdigit(static_cast<unsigned char>(c)))
          value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10;
        else
          error("bad constant");
        if (value >= radix) error("bad constant");
        for (int bit = 0; bit < size; ++bit)
          bits.push_back(fill ? fill : (value >> bit & 1) ? '1' : '0');
      }
      if (bits.empty()) error("bad constant");
      const char pad = bits.back() == 'x' || bits.back() == 'z' ? bits.back() : '0';
      bits.resize(width, pad);
    }
    bits.resize(width);
    return {bits.rbegin(), bits.rend()};
  }

  Netlist& _netlist;
  const std::string& _file;
  Lexer _lexer;
  Token _token;
  Module* _module = nullptr;
};

}  // namespace

void VerilogReader::readFile(const std::string& fileName) {
  readText(fileName, readTextFile(fileName));
}

void VerilogReader::readText(const std::string& fileName, const std::string& text) {
  Parser(_netlist, fileName, text).parse();
}

}  // namespace MorvaImport
