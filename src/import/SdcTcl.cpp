#include "SdcTcl.h"

namespace MorvaImport {

namespace {

const Tcl_ObjType kObjectType = {"morva-sdc-object", nullptr, nullptr, nullptr, nullptr};

bool isNumber(Tcl_Obj* value) {
  double number = 0;
  return Tcl_GetDoubleFromObj(nullptr, value, &number) == TCL_OK;
}

}  // namespace

Tcl_Obj* newObject(const SdcObject& object) {
  Tcl_Obj* value = Tcl_NewStringObj(object.name.data(), static_cast<int>(object.name.size()));
  value->typePtr = &kObjectType;
  value->internalRep.longValue = static_cast<long>(object.kind);
  return value;
}

std::optional<SdcObject> getObject(Tcl_Obj* value) {
  if (value->typePtr != &kObjectType) return std::nullopt;
  return SdcObject{static_cast<ObjectKind>(value->internalRep.longValue), getText(value)};
}

std::string getText(Tcl_Obj* value) {
  int length = 0;
  const char* text = Tcl_GetStringFromObj(value, &length);
  return std::string(text, static_cast<std::size_t>(length));
}

Arguments::Arguments(int count, Tcl_Obj* const words[], const std::set<std::string>& flags,
                     const std::set<std::string>& valued, bool raw) {
  const std::string command = getText(words[0]);
  for (int index = 1; index < count; ++index) {
    Tcl_Obj* word = words[index];
    const std::string text = getText(word);
    if (!raw && text.size() > 1 && text[0] == '-' && word->typePtr != &kObjectType &&
        !isNumber(word)) {
      if (flags.count(text)) {
        _options[text];
      } else if (valued.count(text)) {
        if (++index == count) throw std::invalid_argument(command + ": " + text + " needs a value");
        _options[text].push_back(words[index]);
      } else {
        throw std::invalid_argument(command + ": unknown option " + text);
      }
    } else {
      _positionals.push_back(word);
    }
  }
  _command = command;
}

}  // namespace MorvaImport
