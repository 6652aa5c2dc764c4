#include "PinOrder.h"

#include "Message.h"

#include <algorithm>
#include <sstream>

namespace MorvaImport {

PinOrder readPinOrder(const std::string& fileName, const std::string& text) {
  constexpr const char* kSource = "import/PinOrder";
  PinOrder order;
  std::istringstream lines(text);
  std::string line;
  for (std::size_t number = 1; std::getline(lines, line); ++number) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string cell;
    if (!(words >> cell)) continue;
    std::vector<std::string> pins;
    for (std::string pin; words >> pin;) {
      if (std::find(pins.begin(), pins.end(), pin) != pins.end())
        fail(kSource, "read", fileName, number, "pin \"" + pin + "\" of " + cell + " given twice");
      pins.push_back(pin);
    }
    if (pins.empty()) fail(kSource, "read", fileName, number, "cell " + cell + " without pins");
    if (!order.emplace(cell, std::move(pins)).second)
      fail(kSource, "read", fileName, number, "cell " + cell + " given twice");
  }
  return order;
}

}  // namespace MorvaImport
