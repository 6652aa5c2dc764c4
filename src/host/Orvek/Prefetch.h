#pragma once

namespace Orvek {

// Asks the processor to bring the cache line at `address` in for a read to
// come, without waiting for it. The empty statement after the hint tells
// the compiler that the call does something: a function that only issues
// hints otherwise counts as one without effects, and its calls are
// dropped.
inline void prefetch(const void* address) {
  __builtin_prefetch(address);
  asm volatile("" : : "r"(address));
}

}  // namespace Orvek
