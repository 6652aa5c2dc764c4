#pragma once

#include <Orvek/Export.h>
#include <Orvek/Stuff.h>

#include <concepts>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace Orvek {

// An object label: "<" class name, then words added one by one, ">".
class ORVEK_API Label {
 public:
  explicit Label(std::string text);
  static Label create(const std::string& text);

  // Adds one word at the end of the label.
  Label& update(const std::string& word);
  const std::string& getText() const { return _text; }
  operator const std::string&() const { return _text; }

 private:
  std::string _text;
};

// The readable name of a class from its type name, without namespaces,
// template arguments or a leading "*".
ORVEK_API std::string getExternalName(const char* typeName);
ORVEK_API std::string getExternalName(const std::type_info& type);

ORVEK_API std::string getLabel(bool value);
// The label of a collection of `count` elements: "{count}".
ORVEK_API std::string getCountLabel(unsigned long count);
ORVEK_API std::string getLabel(int value);
ORVEK_API std::string getLabel(long value);
ORVEK_API std::string getLabel(long long value);
ORVEK_API std::string getLabel(unsigned value);
ORVEK_API std::string getLabel(unsigned long value);
ORVEK_API std::string getLabel(unsigned long long value);
ORVEK_API std::string getLabel(double value);
ORVEK_API std::string getLabel(const std::string& value);
ORVEK_API std::string getLabel(const char* value);
ORVEK_API std::string getLabel(const Stuff& value);
ORVEK_API std::string getLabel(const Stuff* value);

// A class of the host layer's hierarchy (values and objects).
template <class T>
concept StuffClass = std::derived_from<T, Stuff>;

// A standard container other than text: begin, end and size.
template <class T>
concept LabelledRange = !std::same_as<T, std::string> && requires(const T& range) {
  range.begin();
  range.end();
  range.size();
};

template <class A, class B>
std::string getLabel(const std::pair<A, B>& pair);

// A pointer to anything labelled: "null" or the pointee's label.
template <StuffClass T>
std::string getLabel(T* value) {
  return getLabel(static_cast<const Stuff*>(value));
}

// Standard containers read as their element count.
template <LabelledRange T>
std::string getLabel(const T& range) {
  return getCountLabel(range.size());
}

template <class A, class B>
std::string getLabel(const std::pair<A, B>& pair) {
  return getLabel(pair.first) + " => " + getLabel(pair.second);
}

}  // namespace Orvek
