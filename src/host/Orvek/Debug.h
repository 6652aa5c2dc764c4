#pragma once

#include <Orvek/Export.h>

namespace Orvek {

// The process-wide debug switch, off by default.
ORVEK_API void setDebug(bool debug);
ORVEK_API bool isDebug();

}  // namespace Orvek
