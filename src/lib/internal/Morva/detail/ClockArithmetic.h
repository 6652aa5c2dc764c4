#pragma once

#include <Morva/Delay.h>
#include <Morva/Mode.h>

#include <cstdint>

namespace Morva::ClockArithmetic {

// The arithmetic of clock waves and cycle corrections, free of any analyzer
// state.

// A double truncated toward zero to a 32-bit integer; a value outside that
// range (or NaN) gives the integer -2^31, the Delay code Undefined.
int32_t truncate(double value);

// Plain 32-bit subtraction of two encodings, wrapping like the machine.
Delay getWrappedDifference(const Delay& a, const Delay& b);

// An arrival time scaled by `factor`: truncated toward zero, held to the
// range of delays (an Undefined arrival stays Undefined).
Delay getScaled(const Delay& arrival, double factor);

// `percent` percent of `period`, in unsigned 64-bit arithmetic truncated to
// 32 bits.
Delay getPart(const Delay& period, unsigned long percent);

// The setup and hold relationships between a launch edge and a latch edge
// of two periodic clocks. `getRelationship` follows the remainders of a
// subtractive Euclid of the periods; `getClosestRelationship` takes the
// closest latch edge strictly after the launch edge over the common period
// (hold: one common period earlier). Both give false (and Undefined
// relations) for periods they cannot use.
bool getRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod, const Delay& latchPeriod,
                     const Delay& launchEdge, const Delay& latchEdge);
bool getClosestRelationship(Delay& setup, Delay& hold, const Delay& launchPeriod,
                            const Delay& latchPeriod, const Delay& launchEdge,
                            const Delay& latchEdge);

// The share of the period between a launch on one edge of a clock and a
// latch on the other: the duty ratio (in percent) after a rising launch,
// its complement after a falling one; 0 when launch and latch are on edges
// of one kind or a mode is None.
unsigned long getPhase(unsigned long duty, Mode::Code launch, Mode::Code latch);

// The integer half-period factor 100 / phase (1 without a phase between
// opposite edges, 0 when that phase is empty).
double getPhaseFactor(unsigned long duty, Mode::Code launch, Mode::Code latch);

// The number of half periods a multicycle count of `cycles` spans between
// opposite edges of a clock of duty ratio `duty`, in floating point:
// (cycles - 1) * 100 / phase + 1.
double getHalfCycles(double cycles, double duty, bool risingLaunch);

}  // namespace Morva::ClockArithmetic
