#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace MorvaTool {

// Writes a JSON document as it goes, in the layout of
// `ordered_json::dump(2, ' ', false, replace)`: two blanks of indent per
// level, "key": value, [] and {} when empty, bytes that are not valid
// UTF-8 as U+FFFD. Memory stays that of a buffer however large the
// document: the command line streams its results through it.
class JsonText {
 public:
  explicit JsonText(std::ostream& output);
  ~JsonText();
  JsonText(const JsonText&) = delete;
  JsonText& operator=(const JsonText&) = delete;

  void beginObject();
  void beginArray();
  // Closes the innermost object or array.
  void end();
  // The name of the next member of the current object.
  void key(std::string_view name);

  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(const std::string& text) { value(std::string_view(text)); }
  void value(long long number);
  void value(unsigned long long number);
  void value(int number) { value(static_cast<long long>(number)); }
  void value(long number) { value(static_cast<long long>(number)); }
  void value(unsigned number) { value(static_cast<unsigned long long>(number)); }
  void value(unsigned long number) { value(static_cast<unsigned long long>(number)); }
  void value(bool flag);
  void null();
  // A value held as a tree.
  void value(const nlohmann::ordered_json& tree);

  // Writes out what is buffered; the document is complete once the
  // outermost value is.
  void flush();

 private:
  // Puts the separator and indent a value needs where it stands.
  void place();
  void indent(std::size_t depth);
  void writeString(std::string_view text);
  void writeTree(const nlohmann::ordered_json& tree);

  std::ostream& _output;
  std::string _buffer;
  // Per open container: whether it is an object, and its member count.
  struct Level {
    bool object;
    std::size_t members;
  };
  std::vector<Level> _levels;
  // A key was written and its value comes next.
  bool _keyed = false;
};

// The same calls building a tree, for the readers of the whole document
// (the HTML page, the Python module).
class JsonTree {
 public:
  void beginObject() { open(nlohmann::ordered_json::object()); }
  void beginArray() { open(nlohmann::ordered_json::array()); }
  void end() { _open.pop_back(); }
  void key(std::string_view name) { _key = name; }
  template <class T>
  void value(const T& value) {
    put(nlohmann::ordered_json(value));
  }
  void null() { put(nullptr); }

  nlohmann::ordered_json& getTree() { return _root; }

 private:
  nlohmann::ordered_json& put(nlohmann::ordered_json&& value);
  void open(nlohmann::ordered_json&& container) { _open.push_back(&put(std::move(container))); }

  nlohmann::ordered_json _root;
  std::vector<nlohmann::ordered_json*> _open;
  std::string _key;
};

}  // namespace MorvaTool
