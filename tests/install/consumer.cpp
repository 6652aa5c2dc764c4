// A separate program built against an installed Morva: it reaches both the
// library and its host layer.
#include <Morva/Object.h>
#include <Orvek/Console.h>

#include <string>

int main() {
  Orvek::console.print("Morva consumer: next stamp " +
                       std::to_string(Morva::Object::_defaultStamp));
  return 0;
}
