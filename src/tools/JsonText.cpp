#include "JsonText.h"

#include <charconv>
#include <ostream>

namespace MorvaTool {

namespace {

constexpr std::size_t kFlushSize = 1 << 16;

}  // namespace

JsonText::JsonText(std::ostream& output) : _output(output) {
  _buffer.reserve(2 * kFlushSize);
}

JsonText::~JsonText() {
  flush();
}

void JsonText::flush() {
  _output.write(_buffer.data(), static_cast<std::streamsize>(_buffer.size()));
  _buffer.clear();
}

void JsonText::indent(std::size_t depth) {
  _buffer.append(2 * depth, ' ');
}

void JsonText::place() {
  if (_buffer.size() >= kFlushSize) flush();
  if (_levels.empty()) return;
  if (_keyed) {
    _keyed = false;
    return;
  }
  Level& level = _levels.back();
  _buffer += level.members++ > 0 ? ",\n" : "\n";
  indent(_levels.size());
}

void JsonText::key(std::string_view name) {
  Level& level = _levels.back();
  _buffer += level.members++ > 0 ? ",\n" : "\n";
  indent(_levels.size());
  writeString(name);
  _buffer += ": ";
  _keyed = true;
}

void JsonText::beginObject() {
  place();
  _buffer += '{';
  _levels.push_back({true, 0});
}

void JsonText::beginArray() {
  place();
  _buffer += '[';
  _levels.push_back({false, 0});
}

void JsonText::end() {
  const Level level = _levels.back();
  _levels.pop_back();
  if (level.members > 0) {
    _buffer += '\n';
    indent(_levels.size());
  }
  _buffer += level.object ? '}' : ']';
}

void JsonText::value(std::string_view text) {
  place();
  writeString(text);
}

void JsonText::value(long long number) {
  place();
  char digits[24];
  _buffer.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

void JsonText::value(unsigned long long number) {
  place();
  char digits[24];
  _buffer.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

void JsonText::value(bool flag) {
  place();
  _buffer += flag ? "true" : "false";
}

void JsonText::null() {
  place();
  _buffer += "null";
}

void JsonText::value(const nlohmann::ordered_json& tree) {
  writeTree(tree);
}

// Plain ASCII is escaped here; a text with other bytes goes through the
// library's own decoder, which also replaces what is not UTF-8.
void JsonText::writeString(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) {
      _buffer += nlohmann::ordered_json(std::string(text))
                     .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
      return;
    }
  static constexpr char kHex[] = "0123456789abcdef";
  _buffer += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        _buffer += "\\\"";
        break;
      case '\\':
        _buffer += "\\\\";
        break;
      case '\b':
        _buffer += "\\b";
        break;
      case '\f':
        _buffer += "\\f";
        break;
      case '\n':
        _buffer += "\\n";
        break;
      case '\r':
        _buffer += "\\r";
        break;
      case '\t':
        _buffer += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          _buffer += "\\u00";
          _buffer += kHex[(c >> 4) & 0xf];
          _buffer += kHex[c & 0xf];
        } else {
          _buffer += c;
        }
    }
  }
  _buffer += '"';
}

// Trees are the small parts of a document (messages, input reports) or
// documents of a few levels: their depth is that of the document's layout.
void JsonText::writeTree(const nlohmann::ordered_json& tree) {
  using Type = nlohmann::ordered_json::value_t;
  switch (tree.type()) {
    case Type::object:
      beginObject();
      for (const auto& [name, member] : tree.items()) {
        key(name);
        writeTree(member);
      }
      end();
      break;
    case Type::array:
      beginArray();
      for (const auto& member : tree) writeTree(member);
      end();
      break;
    case Type::string:
      value(tree.get_ref<const std::string&>());
      break;
    case Type::boolean:
      value(tree.get<bool>());
      break;
    case Type::number_integer:
      value(tree.get<long long>());
      break;
    case Type::number_unsigned:
      value(tree.get<unsigned long long>());
      break;
    case Type::null:
      null();
      break;
    default:
      place();
      _buffer += tree.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
}

nlohmann::ordered_json& JsonTree::put(nlohmann::ordered_json&& value) {
  if (_open.empty()) return _root = std::move(value);
  nlohmann::ordered_json& container = *_open.back();
  if (container.is_array()) {
    container.push_back(std::move(value));
    return container.back();
  }
  return container[_key] = std::move(value);
}

}  // namespace MorvaTool
