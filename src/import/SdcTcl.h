#pragma once

#include "SdcDesign.h"

#include <tcl.h>

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace MorvaImport {

// Query results keep the kind of each object: a Tcl value made by
// `newObject` is a design object whose name is its string. Lists keep their
// elements' kinds; a value rebuilt from text is a plain name again.
Tcl_Obj* newObject(const SdcObject& object);
// The design object a value is, if it is one.
std::optional<SdcObject> getObject(Tcl_Obj* value);

std::string getText(Tcl_Obj* value);

// A command's words: its options (each with the values given, in order)
// and its other words.
class Arguments {
 public:
  // `flags` take no value, `valued` one; any other word starting with "-"
  // that is not a number is an unknown option.
  // With `raw`, every word counts as an argument.
  Arguments(int count, Tcl_Obj* const words[], const std::set<std::string>& flags,
            const std::set<std::string>& valued, bool raw);

  const std::string& getCommand() const { return _command; }
  bool has(const std::string& option) const { return _options.count(option) > 0; }
  Tcl_Obj* get(const std::string& option) const {
    const auto found = _options.find(option);
    return found == _options.end() || found->second.empty() ? nullptr : found->second.back();
  }
  const std::vector<Tcl_Obj*>& getAll(const std::string& option) const {
    static const std::vector<Tcl_Obj*> kNone;
    const auto found = _options.find(option);
    return found == _options.end() ? kNone : found->second;
  }
  const std::vector<Tcl_Obj*>& getPositionals() const { return _positionals; }
  // The only word that is no option; `what` names it in the error.
  Tcl_Obj* getPositional(std::size_t index, const char* what) const {
    if (index >= _positionals.size())
      throw std::invalid_argument(_command + ": " + what + " missing");
    return _positionals[index];
  }
  void expectPositionals(std::size_t count) const {
    if (_positionals.size() > count)
      throw std::invalid_argument(_command + ": unexpected argument \"" +
                                  getText(_positionals[count]) + "\"");
  }

 private:
  std::string _command;
  std::map<std::string, std::vector<Tcl_Obj*>> _options;
  std::vector<Tcl_Obj*> _positionals;
};

}  // namespace MorvaImport
