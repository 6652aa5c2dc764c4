#include <Morva/Conventions.h>

namespace Morva {

std::string getName(Conventions conventions) {
  return conventions == Conventions::Sdc ? "sdc" : "literal";
}

std::optional<Conventions> findConventions(const std::string& name) {
  if (name == "literal") return Conventions::Literal;
  if (name == "sdc") return Conventions::Sdc;
  return std::nullopt;
}

}  // namespace Morva
