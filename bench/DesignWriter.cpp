#include "DesignWriter.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <concepts>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

namespace MorvaBench {

namespace {

// ---- Sinks -------------------------------------------------------------------

class PlainSink : public Sink {
 public:
  explicit PlainSink(const std::string& path) : _path(path) {
    if (path == "-") {
      _descriptor = STDOUT_FILENO;
      return;
    }
    _descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (_descriptor < 0) fail("cannot create");
    _owned = true;
  }
  ~PlainSink() override {
    if (_owned && _descriptor >= 0) ::close(_descriptor);
  }

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = ::write(_descriptor, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        fail("cannot write");
      }
      data += written;
      size -= static_cast<std::size_t>(written);
      _written += static_cast<std::uint64_t>(written);
    }
  }

  void finish() override {
    if (!_owned || _descriptor < 0) return;
    const int descriptor = _descriptor;
    _descriptor = -1;
    if (::close(descriptor) != 0) fail("cannot close");
  }

  std::uint64_t getWrittenBytes() const override { return _written; }

 private:
  [[noreturn]] void fail(const char* what) const {
    throw std::runtime_error(std::string(what) + " " + (_path == "-" ? "standard output" : _path) +
                             ": " + std::strerror(errno));
  }

  std::string _path;
  int _descriptor = -1;
  bool _owned = false;
  std::uint64_t _written = 0;
};

// Deflate with windowBits 15 + 16: zlib then writes the fixed gzip header
// (no name, mtime 0), so that the same text always gives the same bytes.
class GzipSink : public Sink {
 public:
  GzipSink(const std::string& path, int level) : _file(path), _buffer(kChunk) {
    if (deflateInit2(&_stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::runtime_error("cannot start the gzip compression");
    _open = true;
  }
  ~GzipSink() override {
    if (_open) deflateEnd(&_stream);
  }

  void write(const char* data, std::size_t size) override {
    _stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    _stream.avail_in = static_cast<uInt>(size);
    pump(Z_NO_FLUSH);
  }

  void finish() override {
    if (!_open) return;
    _stream.next_in = nullptr;
    _stream.avail_in = 0;
    pump(Z_FINISH);
    deflateEnd(&_stream);
    _open = false;
    _file.finish();
  }

  std::uint64_t getWrittenBytes() const override { return _file.getWrittenBytes(); }

 private:
  static constexpr std::size_t kChunk = 1 << 18;

  void pump(int flush) {
    int status = Z_OK;
    do {
      _stream.next_out = reinterpret_cast<Bytef*>(_buffer.data());
      _stream.avail_out = static_cast<uInt>(_buffer.size());
      status = deflate(&_stream, flush);
      if (status == Z_STREAM_ERROR) throw std::runtime_error("gzip compression failed");
      _file.write(_buffer.data(), _buffer.size() - _stream.avail_out);
    } while (_stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }

  PlainSink _file;
  std::vector<char> _buffer;
  z_stream _stream{};
  bool _open = false;
};

// ---- Fixed parameters of the designs --------------------------------------------

// A gate input picks its driver within this many indices of its own.
constexpr std::int64_t kWindow = 8;
// Registers per leaf buffer of a clock tree, and buffers per buffer.
constexpr std::uint64_t kLeafFanout = 16;
constexpr std::uint64_t kTreeFanout = 8;
// One input port and one output port per this many registers.
constexpr std::uint64_t kRegistersPerPort = 64;
// One loop per this many registers, with loops on.
constexpr std::uint64_t kRegistersPerLoop = 256;
// Ports per input or output delay record: records stay far below the
// loader's 2047-character pieces.
constexpr std::size_t kPortsPerRecord = 32;

}  // namespace

std::unique_ptr<Sink> openPlainSink(const std::string& path) {
  return std::make_unique<PlainSink>(path);
}

std::unique_ptr<Sink> openGzipSink(const std::string& path, int level) {
  return std::make_unique<GzipSink>(path, level);
}

// ---- Random numbers (SplitMix64) ---------------------------------------------------

std::uint64_t DesignWriter::Rng::next() {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// The modulo bias is below 2^-40 for the bounds used here.
std::uint64_t DesignWriter::Rng::below(std::uint64_t bound) {
  return next() % bound;
}

std::int64_t DesignWriter::Rng::between(std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1)));
}

// ---- Buffered text output ----------------------------------------------------------

// Records are appended to one large buffer handed to the sink in big
// pieces; numbers are formatted with std::to_chars.
class DesignWriter::Output {
 public:
  Output(Sink& sink, DesignCounts& counts) : _sink(sink), _counts(counts) {
    _buffer.reserve(kFlushSize + 4096);
  }

  Output& operator<<(std::string_view text) {
    _buffer.append(text);
    return *this;
  }
  Output& operator<<(const char* text) { return *this << std::string_view(text); }
  Output& operator<<(char c) {
    _buffer.push_back(c);
    return *this;
  }
  template <std::integral Integer>
  Output& operator<<(Integer value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    _buffer.append(digits, end);
    return *this;
  }

  void endLine() {
    _buffer.push_back('\n');
    if (_buffer.size() >= kFlushSize) flush();
  }

  void flush() {
    _counts.textBytes += _buffer.size();
    _sink.write(_buffer.data(), _buffer.size());
    _buffer.clear();
  }

  // POLE <name...> mode type, the name written by `name`.
  template <class Name>
  void pole(Name name, std::string_view mode = "None", std::string_view type = "None") {
    *this << "POLE ";
    name(*this);
    *this << ' ' << mode << ' ' << type;
    endLine();
    ++_counts.poles;
  }

  // EDGE <source> <target> purpose minimum maximum.
  template <class Source, class Target>
  void edge(Source source, Target target, std::string_view purpose, std::int64_t minimum,
            std::int64_t maximum) {
    *this << "EDGE ";
    source(*this);
    *this << ' ';
    target(*this);
    *this << ' ' << purpose << ' ' << minimum << ' ' << maximum;
    endLine();
    ++_counts.edges;
  }

 private:
  static constexpr std::size_t kFlushSize = 1 << 20;

  Sink& _sink;
  DesignCounts& _counts;
  std::string _buffer;
};

namespace {

// Name writers: small callables that append one pole name.
auto registerPin(std::uint64_t index, std::string_view pin) {
  return [index, pin](auto& out) { out << 'r' << index << '/' << pin; };
}
auto gatePin(unsigned level, std::uint64_t index, char pin) {
  return [level, index, pin](auto& out) { out << 'g' << level << '_' << index << '/' << pin; };
}
auto port(std::string_view prefix, std::uint64_t index) {
  return [prefix, index](auto& out) { out << prefix << index; };
}
auto named(const std::string& name) {
  return [&name](auto& out) { out << name; };
}
// The output of the driver at `level` (0: the register outputs).
auto driverOutput(unsigned level, std::uint64_t index) {
  return [level, index](auto& out) {
    if (level == 0)
      out << 'r' << index << "/Q";
    else
      out << 'g' << level << '_' << index << "/Y";
  };
}
auto bufferPin(unsigned clock, std::size_t level, std::uint64_t index, char pin) {
  return [clock, level, index, pin](auto& out) {
    out << "ck" << clock << "_b" << level << '_' << index << '/' << pin;
  };
}

}  // namespace

// ---- The design ----------------------------------------------------------------------

DesignWriter::DesignWriter(const DesignOptions& options) : _options(options) {
  if (options.clocks < 1 || options.clocks > 4)
    throw std::invalid_argument("the number of clocks must be 1 to 4");
  if (options.depth < 1 || options.depth > 100)
    throw std::invalid_argument("the depth must be 1 to 100");
  if (options.fanin < 1 || options.fanin > 12)
    throw std::invalid_argument("the fan-in must be 1 to 12");
  if (options.edges < 100 || options.edges > 1000000000ULL)
    throw std::invalid_argument("the number of edges must be 100 to 10^9");
  // Edges per register: its check, clock-to-output arc, clock wire and data
  // wire; `depth` gates of 2 * fanin edges on average (an arc and a wire per
  // input); the clock tree (two edges per buffer, a buffer per 16 then per 8
  // of those) and the ports.
  const double perRegister = 4.0 + 2.0 * options.fanin * options.depth +
                             2.0 / kLeafFanout * (1.0 + 1.0 / (kTreeFanout - 1)) +
                             3.0 / kRegistersPerPort;
  _registers = static_cast<std::uint64_t>(static_cast<double>(options.edges) / perRegister + 0.5);
  _registers = std::max<std::uint64_t>(_registers, 4 * options.clocks);
  _inputs = std::max<std::uint64_t>(1, _registers / kRegistersPerPort);
  _outputs = _inputs;
}

std::uint64_t DesignWriter::getRegionStart(unsigned clock) const {
  return _registers * clock / _options.clocks;
}

unsigned DesignWriter::getClockOf(std::uint64_t index) const {
  unsigned clock = 0;
  while (clock + 1 < _options.clocks && getRegionStart(clock + 1) <= index) ++clock;
  return clock;
}

// Even clocks come in through a port, odd ones leave an on-chip PLL.
std::string DesignWriter::getRootName(unsigned clock) const {
  return clock % 2 == 0 ? "clk" + std::to_string(clock) : "pll" + std::to_string(clock) + "/CLKOUT";
}

// The first clock's period is about the longest path of `depth` levels;
// the others are 2, 3/2 and 5/2 of it.
std::int64_t DesignWriter::getPeriod(unsigned clock) const {
  const std::int64_t base = 110 * static_cast<std::int64_t>(_options.depth) + 200;
  static constexpr std::int64_t numerators[] = {2, 4, 3, 5};
  return base * numerators[clock] / 2 / 10 * 10;
}

// Input k feeds a gate of level 1 in the middle of its share of indices;
// output k is fed by a gate of the last level likewise.
std::uint64_t DesignWriter::getInputGate(std::uint64_t input) const {
  return (2 * input + 1) * _registers / (2 * _inputs);
}

std::uint64_t DesignWriter::getOutputGate(std::uint64_t output) const {
  return (2 * output + 1) * _registers / (2 * _outputs);
}

DesignCounts DesignWriter::writeFile(const std::string& path, bool gzip) {
  std::unique_ptr<Sink> sink = gzip ? openGzipSink(path) : openPlainSink(path);
  return write(*sink);
}

DesignCounts DesignWriter::write(Sink& sink) {
  _counts = DesignCounts();
  _counts.registers = _registers;
  _counts.gates = _registers * _options.depth;
  _counts.inputs = _inputs;
  _counts.outputs = _outputs;
  _rng = Rng{_options.seed};
  _loops.clear();
  if (_options.loops) {
    Rng rng{_options.seed ^ 0x5DEECE66DULL};
    const std::uint64_t count = std::max<std::uint64_t>(1, _registers / kRegistersPerLoop);
    for (std::uint64_t loop = 0; loop < count; ++loop) {
      const auto level = static_cast<unsigned>(rng.between(1, _options.depth));
      const auto back = static_cast<unsigned>(
          level + rng.below(std::min<std::uint64_t>(3, _options.depth - level + 1)));
      _loops.push_back({level, rng.below(_registers), back});
    }
    std::sort(_loops.begin(), _loops.end(), [](const Loop& a, const Loop& b) {
      return a.level != b.level ? a.level < b.level : a.index < b.index;
    });
    _loops.erase(std::unique(_loops.begin(), _loops.end(),
                             [](const Loop& a, const Loop& b) {
                               return a.level == b.level && a.index == b.index;
                             }),
                 _loops.end());
  }
  _counts.loops = _loops.size();

  Output out(sink, _counts);
  writeHeader(out);
  writeClocks(out);
  writeRegisters(out);
  writeGates(out);
  writeLoads(out);
  writeDelays(out);
  writeExceptions(out);
  out.flush();
  sink.finish();
  _counts.fileBytes = sink.getWrittenBytes();
  return _counts;
}

void DesignWriter::writeHeader(Output& out) {
  out << "# Synthetic design written by morva-gen: seed " << _options.seed << ", edges "
      << _options.edges << ", clocks " << _options.clocks << ", depth " << _options.depth
      << ", fanin " << _options.fanin << ", loops " << (_options.loops ? "on" : "off");
  out.endLine();
  out << "# " << _registers << " registers, " << _inputs << " input and " << _outputs
      << " output ports";
  out.endLine();
}

// Clock roots with their waves, the data ports, then each clock's tree.
void DesignWriter::writeClocks(Output& out) {
  for (unsigned clock = 0; clock < _options.clocks; ++clock) {
    const std::string root = getRootName(clock);
    out.pole(named(root), "None", clock % 2 == 0 ? "Primary" : "ClockSource");
    const std::int64_t period = getPeriod(clock);
    // The third clock has a 40% duty cycle.
    const std::int64_t falling = clock == 2 ? period * 2 / 5 : period / 2;
    out << "CREATE_CLOCK " << root << " -name clk" << clock << " -period " << period
        << " -rising 0 -falling " << falling;
    out.endLine();
  }
  for (std::uint64_t input = 0; input < _inputs; ++input)
    out.pole(port("in", input), "None", "Primary");
  for (std::uint64_t output = 0; output < _outputs; ++output)
    out.pole(port("out", output), "None", "Primary");
  for (unsigned clock = 0; clock < _options.clocks; ++clock) writeClockTree(out, clock);
}

// Buffer levels from the root down to the leaves: child i of a level hangs
// from buffer i / 8 of the level above, register t of the region from leaf
// t / 16.
void DesignWriter::writeClockTree(Output& out, unsigned clock) {
  const std::uint64_t size = getRegionStart(clock + 1) - getRegionStart(clock);
  std::vector<std::uint64_t> counts{(size + kLeafFanout - 1) / kLeafFanout};
  while (counts.back() > kTreeFanout)
    counts.push_back((counts.back() + kTreeFanout - 1) / kTreeFanout);
  std::reverse(counts.begin(), counts.end());
  const std::string root = getRootName(clock);
  for (std::size_t level = 0; level < counts.size(); ++level) {
    for (std::uint64_t index = 0; index < counts[level]; ++index) {
      out.pole(bufferPin(clock, level, index, 'A'));
      out.pole(bufferPin(clock, level, index, 'Y'));
      const std::int64_t wire = _rng.between(5, 20);
      if (level == 0)
        out.edge(named(root), bufferPin(clock, level, index, 'A'), "Interconnect", wire,
                 wire + _rng.between(0, 5));
      else
        out.edge(bufferPin(clock, level - 1, index / kTreeFanout, 'Y'),
                 bufferPin(clock, level, index, 'A'), "Interconnect", wire,
                 wire + _rng.between(0, 5));
      const std::int64_t buffer = _rng.between(25, 35);
      out.edge(bufferPin(clock, level, index, 'A'), bufferPin(clock, level, index, 'Y'), "IOPath",
               buffer, buffer + _rng.between(5, 10));
    }
  }
}

// Registers, one in eight on the falling edge, each clocked from its leaf
// buffer.
void DesignWriter::writeRegisters(Output& out) {
  for (unsigned clock = 0; clock < _options.clocks; ++clock) {
    const std::uint64_t start = getRegionStart(clock);
    const std::uint64_t end = getRegionStart(clock + 1);
    std::size_t leafLevel = 0;
    for (std::uint64_t count = (end - start + kLeafFanout - 1) / kLeafFanout; count > kTreeFanout;
         count = (count + kTreeFanout - 1) / kTreeFanout)
      ++leafLevel;
    for (std::uint64_t index = start; index < end; ++index) {
      const bool falling = _rng.below(8) == 0;
      out.pole(registerPin(index, "CK"), falling ? "Falling" : "Rising");
      out.pole(registerPin(index, "D"));
      out.pole(registerPin(index, "Q"));
      const std::int64_t hold = _rng.between(5, 20);
      out.edge(registerPin(index, "D"), registerPin(index, "CK"), "SetupHold", hold,
               _rng.between(30, 60));
      const std::int64_t output = _rng.between(60, 90);
      out.edge(registerPin(index, "CK"), registerPin(index, "Q"), "IOPath", output,
               output + _rng.between(20, 40));
      const std::int64_t wire = _rng.between(5, 20);
      out.edge(bufferPin(clock, leafLevel, (index - start) / kLeafFanout, 'Y'),
               registerPin(index, "CK"), "Interconnect", wire, wire + _rng.between(0, 5));
    }
  }
}

void DesignWriter::writeGates(Output& out) {
  const unsigned depth = _options.depth;
  const unsigned fanin = _options.fanin;
  const auto local = [this](std::uint64_t index) {
    const std::int64_t picked = static_cast<std::int64_t>(index) + _rng.between(-kWindow, kWindow);
    return static_cast<std::uint64_t>(
        std::clamp<std::int64_t>(picked, 0, static_cast<std::int64_t>(_registers) - 1));
  };
  const auto arc = [this, &out](unsigned level, std::uint64_t index, char pin) {
    const std::int64_t minimum = _rng.between(15, 60);
    out.edge(gatePin(level, index, pin), gatePin(level, index, 'Y'), "IOPath", minimum,
             minimum + _rng.between(5, minimum));
  };
  std::size_t loop = 0;
  for (unsigned level = 1; level <= depth; ++level) {
    std::uint64_t input = 0;
    for (std::uint64_t index = 0; index < _registers; ++index) {
      const unsigned pins = fanin == 1 ? 1 : static_cast<unsigned>(_rng.between(1, 2 * fanin - 1));
      // Pins A, B, ... for the inputs from gates and registers, then one
      // for an input port; a loop comes in through pin Z.
      const bool fed = level == 1 && input < _inputs && getInputGate(input) == index;
      const bool looped =
          loop < _loops.size() && _loops[loop].level == level && _loops[loop].index == index;
      const unsigned lettered = pins + (fed ? 1 : 0);
      for (unsigned pin = 0; pin < lettered; ++pin)
        out.pole(gatePin(level, index, char('A' + pin)));
      if (looped) out.pole(gatePin(level, index, 'Z'));
      out.pole(gatePin(level, index, 'Y'));
      for (unsigned pin = 0; pin < pins; ++pin) {
        // The first input continues the gate's own chain.
        unsigned from = level - 1;
        std::uint64_t source = index;
        if (pin > 0) {
          const std::uint64_t draw = _rng.below(100);
          if (draw < 2) {
            source = _rng.below(_registers);
          } else if (draw < 12 && level >= 2) {
            from = level - 1 - static_cast<unsigned>(_rng.between(1, std::min(level - 1, 3U)));
            source = local(index);
          } else {
            source = local(index);
          }
        }
        const std::int64_t wire = _rng.between(2, 30);
        out.edge(driverOutput(from, source), gatePin(level, index, char('A' + pin)), "Interconnect",
                 wire, wire + _rng.between(0, wire / 2 + 3));
      }
      if (fed) {
        const std::int64_t wire = _rng.between(10, 40);
        out.edge(port("in", input), gatePin(level, index, char('A' + pins)), "Interconnect", wire,
                 wire + _rng.between(0, 10));
        ++input;
      }
      for (unsigned pin = 0; pin < lettered; ++pin) arc(level, index, char('A' + pin));
      // The loop's wire comes from a gate written later: it follows with
      // the loads.
      if (looped) {
        arc(level, index, 'Z');
        ++loop;
      }
    }
  }
}

// What the last level drives: the registers' data pins, the output ports
// and, with loops, the extra inputs up their chains.
void DesignWriter::writeLoads(Output& out) {
  const unsigned depth = _options.depth;
  for (std::uint64_t index = 0; index < _registers; ++index) {
    const std::int64_t wire = _rng.between(2, 30);
    out.edge(driverOutput(depth, index), registerPin(index, "D"), "Interconnect", wire,
             wire + _rng.between(0, wire / 2 + 3));
  }
  for (std::uint64_t output = 0; output < _outputs; ++output) {
    const std::int64_t wire = _rng.between(20, 60);
    out.edge(driverOutput(depth, getOutputGate(output)), port("out", output), "Interconnect", wire,
             wire + _rng.between(0, 20));
  }
  for (const Loop& loop : _loops) {
    const std::int64_t wire = _rng.between(2, 30);
    out.edge(driverOutput(loop.backLevel, loop.index), gatePin(loop.level, loop.index, 'Z'),
             "Interconnect", wire, wire + _rng.between(0, 5));
  }
}

// Half of the ports (the even ones) get a delay against the clock of their
// region; among the inputs, one in two of those against the falling edge.
void DesignWriter::writeDelays(Output& out) {
  for (const bool input : {true, false}) {
    const std::uint64_t count = input ? _inputs : _outputs;
    for (unsigned clock = 0; clock < _options.clocks; ++clock) {
      const std::int64_t period = getPeriod(clock);
      for (const bool falling : {false, true}) {
        if (falling && !input) continue;
        std::vector<std::uint64_t> ports;
        for (std::uint64_t index = 0; index < count; index += 2) {
          const std::uint64_t gate = input ? getInputGate(index) : getOutputGate(index);
          if (getClockOf(gate) != clock || (input && (index % 4 == 2) != falling)) continue;
          ports.push_back(index);
        }
        for (std::size_t first = 0; first < ports.size(); first += kPortsPerRecord) {
          if (input)
            out << "SET_INPUT_DELAY -clock " << getRootName(clock) << (falling ? " -fall" : "")
                << " -min 20 -max " << period / 4 << " -port";
          else
            out << "SET_OUTPUT_DELAY -clock " << getRootName(clock) << " -min -20 -max "
                << period / 5 << " -port";
          const std::size_t last = std::min(ports.size(), first + kPortsPerRecord);
          for (std::size_t index = first; index < last; ++index)
            out << (input ? " in" : " out") << ports[index];
          out.endLine();
        }
      }
    }
  }
}

// Clock groups, then a few exceptions between registers that are joined by
// paths: a register reaches its own data pin through its gate chain, and
// its neighbours through the windows.
void DesignWriter::writeExceptions(Output& out) {
  const auto line = [&out, this] {
    out.endLine();
    ++_counts.exceptions;
  };
  switch (_options.clocks) {
    case 1:
      break;
    case 2:
      out << "CREATE_CLOCK_GROUPS -asynchronous -group clk0 -group clk1";
      out.endLine();
      break;
    default:
      // clk0 and clk1 stay related (periods P and 2P).
      out << "CREATE_CLOCK_GROUPS -asynchronous -group clk0 clk1 -group clk2";
      out.endLine();
      if (_options.clocks == 4) {
        out << "CREATE_CLOCK_GROUPS -exclusive -group clk3 -group clk2";
        out.endLine();
      }
  }
  const std::uint64_t regionEnd = getRegionStart(1);
  const auto pick = [this, regionEnd] { return _rng.below(regionEnd - 1); };
  const std::uint64_t from = pick();
  out << "FALSE_PATH -from r" << from << "/CK -to r" << from + 1 << "/D";
  line();
  out << "FALSE_PATH -from in0 -through g1_" << getInputGate(0) << "/Y";
  line();
  if (_options.clocks > 1) {
    // Across the border of the first two regions.
    const std::uint64_t border = getRegionStart(1);
    out << "FALSE_PATH -from r" << border - 1 << "/CK -to r" << border << "/D";
    line();
  }
  const std::uint64_t multicycle = pick();
  out << "MULTICYCLE_PATH 2 -from r" << multicycle << "/CK r" << multicycle + 1 << "/CK -to r"
      << multicycle << "/CK r" << multicycle + 1 << "/CK";
  line();
  const std::uint64_t input = _inputs - 1;
  out << "MAXIMUM_DELAY_PATH " << getPeriod(0) << " -from in" << input << " -to r"
      << getInputGate(input) << "/CK";
  line();
  const std::uint64_t minimum = pick();
  out << "MINIMUM_DELAY_PATH 300 -from r" << minimum << "/CK -to r" << minimum << "/CK";
  line();
}

}  // namespace MorvaBench
