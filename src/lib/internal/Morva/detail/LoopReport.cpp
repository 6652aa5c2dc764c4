#include <Morva/detail/LoopReport.h>
#include <Orvek/Console.h>

namespace Morva {

void LoopReport::print(unsigned long count, const std::string& phrase) {
  if (count == 0) return;
  if (count == 1)
    Orvek::console.warning("1 combinatorial loop detected during " + phrase + ".", "");
  else
    Orvek::console.warning(
        std::to_string(count) + " combinatorial loops detected during " + phrase + ".", "");
}

}  // namespace Morva
