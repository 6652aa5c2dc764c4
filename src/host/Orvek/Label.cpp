#include <Orvek/Label.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>

namespace Orvek {

Label::Label(std::string text) : _text(std::move(text)) {}

Label Label::create(const std::string& text) {
  return Label("<" + text + ">");
}

Label& Label::update(const std::string& word) {
  if (!_text.empty() && _text.back() == '>')
    _text.insert(_text.size() - 1, " " + word);
  else
    _text += " " + word;
  return *this;
}

std::string getExternalName(const char* typeName) {
  if (*typeName == '*') ++typeName;
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeName, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : typeName;
  std::free(demangled);
  // Template arguments are dropped wherever they stand, so that a class
  // nested in a template ("Collection<Pole*>::iterator") keeps its own name.
  std::string bare;
  unsigned long depth = 0;
  for (char c : name) {
    if (c == '<')
      ++depth;
    else if (c == '>' && depth > 0)
      --depth;
    else if (depth == 0)
      bare += c;
  }
  if (auto colon = bare.rfind("::"); colon != std::string::npos) bare.erase(0, colon + 2);
  return bare;
}

std::string getExternalName(const std::type_info& type) {
  return getExternalName(type.name());
}

std::string getLabel(bool value) {
  return value ? "1" : "0";
}

std::string getCountLabel(unsigned long count) {
  std::string text = "{";
  text += std::to_string(count);
  text += '}';
  return text;
}
std::string getLabel(int value) {
  return std::to_string(value);
}
std::string getLabel(long value) {
  return std::to_string(value);
}
std::string getLabel(long long value) {
  return std::to_string(value);
}
std::string getLabel(unsigned value) {
  return std::to_string(value);
}
std::string getLabel(unsigned long value) {
  return std::to_string(value);
}
std::string getLabel(unsigned long long value) {
  return std::to_string(value);
}

std::string getLabel(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string getLabel(const std::string& value) {
  return value;
}
std::string getLabel(const char* value) {
  return value ? value : "null";
}
std::string getLabel(const Stuff& value) {
  return value._getLabel();
}
std::string getLabel(const Stuff* value) {
  return value ? value->_getLabel() : "null";
}

}  // namespace Orvek
