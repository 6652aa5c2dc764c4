#pragma once

// Symbols of the host layer that other programs may use.
#define ORVEK_API __attribute__((visibility("default")))
