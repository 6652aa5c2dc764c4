#pragma once

// Symbols of the library that host programs may use.
#define MORVA_API __attribute__((visibility("default")))
