#pragma once

// Writes seeded synthetic designs as archives (docs/archive-format.md),
// plain or gzip-compressed. The same options always give the same bytes:
// the random numbers come from a generator of our own (not from the
// standard library's distributions, whose results differ between library
// versions), and the gzip header carries no file name and a zero mtime.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace MorvaBench {

struct DesignOptions {
  // The number of edges aimed at; the design gets within a few percent.
  std::uint64_t edges = 100000;
  std::uint64_t seed = 1;
  // Clocks, each with its own root, clock tree and region of registers.
  unsigned clocks = 1;
  // Gate levels between a register's output and the next register's input.
  unsigned depth = 10;
  // The mean number of inputs of a gate (gates take 1 to 2 * fanin - 1).
  unsigned fanin = 2;
  // Adds combinational loops through gates.
  bool loops = false;
};

// What a written design holds.
struct DesignCounts {
  std::uint64_t poles = 0;
  std::uint64_t edges = 0;
  std::uint64_t registers = 0;
  std::uint64_t gates = 0;
  std::uint64_t inputs = 0;
  std::uint64_t outputs = 0;
  std::uint64_t loops = 0;
  std::uint64_t exceptions = 0;
  // Bytes of archive text, before any compression.
  std::uint64_t textBytes = 0;
  // Bytes written to the file (equal to textBytes for a plain file).
  std::uint64_t fileBytes = 0;
};

// Where the archive text goes.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
  // Flushes and closes; throws std::runtime_error on a write failure.
  virtual void finish() = 0;
  virtual std::uint64_t getWrittenBytes() const = 0;
};

// A file descriptor (not closed when it is standard output) or a file.
std::unique_ptr<Sink> openPlainSink(const std::string& path);
// The same, through deflate with a gzip wrapper.
std::unique_ptr<Sink> openGzipSink(const std::string& path, int level = 6);

// The generator. The design, for R registers split into `clocks` regions:
// - per clock, a root (a port, or a ClockSource for odd clocks) with a
//   declared wave, and a buffer tree (fan-out 8, 16 registers per leaf);
// - registers r<i>: clock pin r<i>/CK (one in eight falling-edge), data
//   pin r<i>/D with a SetupHold check, output r<i>/Q reached by an IOPath;
// - `depth` levels of R gates g<l>_<i> with input pins A, B, ... and output
//   Y: the first input of g<l>_<i> comes from g<l-1>_<i> (register output
//   r<i>/Q for l = 1), so that every output drives something; the others
//   mostly from a window of 8 indices around i on the level before, some
//   from earlier levels (short paths for hold checks), a few from anywhere
//   (long wires: paths that cross clock regions); g<depth>_<i>/Y drives
//   r<i>/D;
// - input ports in<k> feeding gates of level 1, output ports out<k> fed by
//   gates of the last level, half of each with an input or output delay;
// - clock groups when there are several clocks, and a few false paths,
//   multicycle paths and maximum and minimum delay paths;
// - with `loops`, extra gate inputs fed from a later gate of their own
//   chain.
// Cones stay local (a window of indices), as in real designs: the launch
// sets of the domain creation and the route searches stay bounded.
class DesignWriter {
 public:
  // Throws std::invalid_argument for options out of range.
  explicit DesignWriter(const DesignOptions& options);

  const DesignOptions& getOptions() const { return _options; }
  std::uint64_t getRegisterCount() const { return _registers; }

  // Writes the whole archive to `sink` and finishes it.
  DesignCounts write(Sink& sink);
  // Writes to `path` ("-" for standard output), compressed when `gzip`.
  DesignCounts writeFile(const std::string& path, bool gzip);

 private:
  class Output;
  struct Rng {
    std::uint64_t state;
    std::uint64_t next();
    // Uniform in [0, bound), bound > 0.
    std::uint64_t below(std::uint64_t bound);
    // Uniform in [low, high].
    std::int64_t between(std::int64_t low, std::int64_t high);
  };

  // The register range [first, last) of a clock, and the clock of a register.
  std::uint64_t getRegionStart(unsigned clock) const;
  unsigned getClockOf(std::uint64_t index) const;
  std::string getRootName(unsigned clock) const;
  std::int64_t getPeriod(unsigned clock) const;
  std::uint64_t getInputGate(std::uint64_t input) const;
  std::uint64_t getOutputGate(std::uint64_t output) const;

  void writeHeader(Output& out);
  void writeClocks(Output& out);
  void writeClockTree(Output& out, unsigned clock);
  void writeRegisters(Output& out);
  void writeGates(Output& out);
  void writeLoads(Output& out);
  void writeDelays(Output& out);
  void writeExceptions(Output& out);

  DesignOptions _options;
  std::uint64_t _registers = 0;
  std::uint64_t _inputs = 0;
  std::uint64_t _outputs = 0;
  // Loops: the gates (level, index) that get an extra input from the gate
  // (loopLevel, index) further down their chain.
  struct Loop {
    unsigned level;
    std::uint64_t index;
    unsigned backLevel;
  };
  std::vector<Loop> _loops;
  Rng _rng{0};
  DesignCounts _counts;
};

}  // namespace MorvaBench
