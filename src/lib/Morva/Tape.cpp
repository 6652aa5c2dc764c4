#include <Morva/Tape.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <algorithm>
#include <utility>

namespace Morva {

namespace {
constexpr const char* kSource = "lib/Morva/Tape";
constexpr unsigned long kBitsPerByte = 7;
// Below this many bytes a tape that is not sparse stays dense.
constexpr std::size_t kChunkedBytes = 1024;

unsigned long countBytes(unsigned long bitCount) {
  return bitCount / kBitsPerByte + (bitCount % kBitsPerByte != 0 ? 1 : 0);
}

void setBit(std::vector<unsigned char>& bytes, unsigned long index) {
  bytes[index / kBitsPerByte] |= static_cast<unsigned char>(1U << (index % kBitsPerByte));
}
}  // namespace

std::string Tape::Bit::_getLabel() const {
  return Orvek::getLabel(static_cast<bool>(*this));
}

Orvek::Slot* Tape::Bit::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<bool>(name, static_cast<bool>(*this));
}

Tape::Tape(unsigned long bitCount, bool value)
    : _bitCount(bitCount), _bytes(countBytes(bitCount), value ? 0xff : 0) {
  if (value && !_bytes.empty()) {
    const unsigned long lastBits = bitCount - kBitsPerByte * (_bytes.size() - 1);
    _bytes.back() = static_cast<unsigned char>((1U << lastBits) - 1);
  }
}

void Tape::check(const Tape& other, const char* operation) const {
  if (_bitCount != other._bitCount)
    Orvek::raise<Orvek::InvalidRequest>(kSource, operation, "Incompatible tape");
}

void Tape::checkIndex(unsigned long index) const {
  if (index >= _bitCount)
    Orvek::raise<Orvek::InvalidRequest>(kSource, "operator[]", "Index out of range");
}

bool Tape::operator[](unsigned long index) const {
  checkIndex(index);
  return isSet(index);
}

Tape::Bit Tape::operator[](unsigned long index) {
  checkIndex(index);
  densify();
  return Bit(_bytes[index / kBitsPerByte], static_cast<unsigned>(index % kBitsPerByte));
}

std::size_t Tape::getByteCount() const {
  return countBytes(_bitCount);
}

// Runs of about the square root of the byte count: a new run and the list
// of runs cost alike.
std::size_t Tape::getChunkSize() const {
  std::size_t size = 64;
  while (size * size < getByteCount()) size *= 2;
  return size;
}

unsigned char Tape::getByte(std::size_t index) const {
  switch (_form) {
    case Form::Dense:
      return _bytes[index];
    case Form::Sparse: {
      const auto found = std::lower_bound(
          getSparse().begin(), getSparse().end(), index,
          [](const Byte& byte, std::size_t wanted) { return byte.index < wanted; });
      return found != getSparse().end() && found->index == index ? found->value : 0;
    }
    case Form::Chunked:
      break;
  }
  const std::size_t size = getChunkSize();
  const auto& chunk = getRuns()[index / size];
  return chunk ? (*chunk)[index % size] : 0;
}

template <class Visit>
void Tape::forEachByte(Visit visit) const {
  if (_form == Form::Sparse) {
    for (const Byte& byte : getSparse()) visit(std::size_t{byte.index}, byte.value);
  } else if (_form == Form::Dense) {
    for (std::size_t index = 0; index < _bytes.size(); ++index)
      if (_bytes[index] != 0) visit(index, _bytes[index]);
  } else {
    const std::size_t size = getChunkSize();
    const Runs& runs = getRuns();
    for (std::size_t run = 0; run < runs.size(); ++run) {
      if (!runs[run]) continue;
      const Chunk& chunk = *runs[run];
      for (std::size_t offset = 0; offset < chunk.size(); ++offset)
        if (chunk[offset] != 0) visit(run * size + offset, chunk[offset]);
    }
  }
}

void Tape::densify() const {
  if (_form == Form::Dense) return;
  std::vector<unsigned char> bytes(getByteCount(), 0);
  forEachByte([&bytes](std::size_t index, unsigned char value) { bytes[index] = value; });
  _bytes = std::move(bytes);
  _sparse.reset();
  _runs.reset();
  _form = Form::Dense;
}

void Tape::makeSparse() {
  if (_form == Form::Sparse) return;
  std::vector<Byte> sparseBytes;
  forEachByte([&sparseBytes](std::size_t index, unsigned char value) {
    sparseBytes.push_back(Byte{static_cast<uint32_t>(index), value});
  });
  _sparse = std::make_shared<const std::vector<Byte>>(std::move(sparseBytes));
  std::vector<unsigned char>().swap(_bytes);
  _runs.reset();
  _form = Form::Sparse;
}

void Tape::makeChunked() {
  if (_form == Form::Chunked) return;
  densify();
  const std::size_t size = getChunkSize();
  Runs chunks;
  for (std::size_t first = 0; first < _bytes.size(); first += size) {
    const auto begin = _bytes.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end =
        _bytes.begin() + static_cast<std::ptrdiff_t>(std::min(first + size, _bytes.size()));
    const bool zero = std::all_of(begin, end, [](unsigned char byte) { return byte == 0; });
    chunks.push_back(zero ? nullptr : std::make_shared<const Chunk>(begin, end));
  }
  _runs = std::make_shared<const Runs>(std::move(chunks));
  std::vector<unsigned char>().swap(_bytes);
  _form = Form::Chunked;
}

void Tape::compact() {
  std::size_t nonZero = 0;
  forEachByte([&nonZero](std::size_t, unsigned char) { ++nonZero; });
  if (nonZero * sizeof(Byte) <= getByteCount())
    makeSparse();
  else if (getByteCount() >= kChunkedBytes)
    makeChunked();
  else
    densify();
}

template <class Combine>
void Tape::combineChunks(const Tape& other, Combine combine) {
  // What the operation makes of a run against itself, of a run against
  // zeros and of zeros against a run: the run, or zeros.
  const bool keepsSame = combine(0xff, 0xff) != 0;
  const bool keepsMine = combine(0xff, 0) != 0;
  const bool keepsTheirs = combine(0, 0xff) != 0;
  const std::size_t size = getChunkSize();
  // The new list of runs; the runs it does not replace stay shared.
  Runs chunks = getRuns();
  std::vector<unsigned char> scratch;
  // Run `run` combined with the other's bytes, `theirs(offset)`; null when
  // all zeros.
  const auto make = [&](std::size_t run, auto theirs) -> std::shared_ptr<const Chunk> {
    const std::size_t length = std::min(size, getByteCount() - run * size);
    scratch.assign(length, 0);
    const Chunk* mine = chunks[run].get();
    bool zero = true;
    for (std::size_t offset = 0; offset < length; ++offset) {
      scratch[offset] =
          static_cast<unsigned char>(combine(mine ? (*mine)[offset] : 0, theirs(offset)));
      zero = zero && scratch[offset] == 0;
    }
    return zero ? nullptr : std::make_shared<const Chunk>(scratch);
  };
  if (other._form == Form::Chunked) {
    for (std::size_t run = 0; run < chunks.size(); ++run) {
      const std::shared_ptr<const Chunk>& theirs = other.getRuns()[run];
      if (chunks[run] == theirs) {
        if (!keepsSame) chunks[run] = nullptr;
      } else if (!theirs) {
        if (!keepsMine) chunks[run] = nullptr;
      } else if (!chunks[run]) {
        if (keepsTheirs) chunks[run] = theirs;
      } else {
        chunks[run] = make(run, [&theirs](std::size_t offset) { return (*theirs)[offset]; });
      }
    }
  } else if (other._form == Form::Dense) {
    for (std::size_t run = 0; run < chunks.size(); ++run)
      chunks[run] =
          make(run, [&](std::size_t offset) { return other._bytes[run * size + offset]; });
  } else {
    // Sparse: only the runs that hold its bytes change, unless zeros clear.
    auto next = other.getSparse().begin();
    for (std::size_t run = 0; run < chunks.size(); ++run) {
      const auto first = next;
      while (next != other.getSparse().end() && next->index < (run + 1) * size) ++next;
      if (first == next) {
        if (!keepsMine) chunks[run] = nullptr;
        continue;
      }
      auto byte = first;
      chunks[run] = make(run, [&](std::size_t offset) -> unsigned char {
        while (byte != next && byte->index < run * size + offset) ++byte;
        return byte != next && byte->index == run * size + offset ? byte->value : 0;
      });
    }
  }
  _runs = std::make_shared<const Runs>(std::move(chunks));
}

template <class Combine>
void Tape::combineWith(const Tape& other, Combine combine) {
  if (_form == Form::Chunked || other._form == Form::Chunked) {
    makeChunked();
    combineChunks(other, combine);
    return;
  }
  if (_form == Form::Sparse && other._form == Form::Sparse) {
    // A merge of the non-zero bytes; a byte absent from one side is 0.
    std::vector<Byte> merged;
    merged.reserve(getSparse().size() + other.getSparse().size());
    auto mine = getSparse().begin();
    auto theirs = other.getSparse().begin();
    while (mine != getSparse().end() || theirs != other.getSparse().end()) {
      uint32_t index;
      unsigned char a = 0;
      unsigned char b = 0;
      if (theirs == other.getSparse().end() ||
          (mine != getSparse().end() && mine->index < theirs->index)) {
        index = mine->index;
        a = (mine++)->value;
      } else if (mine == getSparse().end() || theirs->index < mine->index) {
        index = theirs->index;
        b = (theirs++)->value;
      } else {
        index = mine->index;
        a = (mine++)->value;
        b = (theirs++)->value;
      }
      const auto value = static_cast<unsigned char>(combine(a, b));
      if (value != 0) merged.push_back(Byte{index, value});
    }
    _sparse = std::make_shared<const std::vector<Byte>>(std::move(merged));
    return;
  }
  densify();
  if (other._form == Form::Dense) {
    for (std::size_t i = 0; i < _bytes.size(); ++i)
      _bytes[i] = static_cast<unsigned char>(combine(_bytes[i], other._bytes[i]));
    return;
  }
  auto theirs = other.getSparse().begin();
  for (std::size_t i = 0; i < _bytes.size(); ++i) {
    const unsigned char b =
        theirs != other.getSparse().end() && theirs->index == i ? (theirs++)->value : 0;
    _bytes[i] = static_cast<unsigned char>(combine(_bytes[i], b));
  }
}

Tape& Tape::operator&=(const Tape& other) {
  check(other, "operator&=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a & b; });
  return *this;
}

Tape& Tape::operator|=(const Tape& other) {
  check(other, "operator|=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a | b; });
  return *this;
}

Tape& Tape::operator^=(const Tape& other) {
  check(other, "operator^=");
  combineWith(other, [](unsigned char a, unsigned char b) { return a ^ b; });
  return *this;
}

Tape Tape::operator~() const {
  Tape complement(*this);
  complement.densify();
  for (unsigned char& byte : complement._bytes) byte = static_cast<unsigned char>(~byte);
  return complement;
}

namespace {

int order(unsigned char a, unsigned char b) {
  const auto mine = static_cast<signed char>(a);
  const auto theirs = static_cast<signed char>(b);
  return mine == theirs ? 0 : (mine < theirs ? -1 : 1);
}

// The order of two tapes given by their non-zero bytes: the first byte
// where they differ is the first non-zero byte of either that the other
// does not hold alike.
template <class Bytes>
int compareNonZero(const Bytes& a, const Bytes& b) {
  auto mine = a.begin();
  auto theirs = b.begin();
  for (; mine != a.end() && theirs != b.end(); ++mine, ++theirs) {
    if (mine->index != theirs->index)
      return mine->index < theirs->index ? order(mine->value, 0) : order(0, theirs->value);
    if (mine->value != theirs->value) return order(mine->value, theirs->value);
  }
  if (mine != a.end()) return order(mine->value, 0);
  if (theirs != b.end()) return order(0, theirs->value);
  return 0;
}

}  // namespace

int Tape::compare(const Tape& other) const {
  if (_form == Form::Sparse && other._form == Form::Sparse)
    return compareNonZero(getSparse(), other.getSparse());
  if (_form == Form::Dense && other._form == Form::Dense) {
    for (std::size_t i = 0; i < _bytes.size(); ++i)
      if (_bytes[i] != other._bytes[i]) return order(_bytes[i], other._bytes[i]);
    return 0;
  }
  if (_form == Form::Chunked && other._form == Form::Chunked) {
    const Runs& mineRuns = getRuns();
    const Runs& theirRuns = other.getRuns();
    for (std::size_t run = 0; run < mineRuns.size(); ++run) {
      const Chunk* mine = mineRuns[run].get();
      const Chunk* theirs = theirRuns[run].get();
      if (mine == theirs) continue;
      const std::size_t length = mine ? mine->size() : theirs->size();
      for (std::size_t offset = 0; offset < length; ++offset) {
        const unsigned char a = mine ? (*mine)[offset] : 0;
        const unsigned char b = theirs ? (*theirs)[offset] : 0;
        if (a != b) return order(a, b);
      }
    }
    return 0;
  }
  // The forms differ: compare the non-zero bytes of both.
  std::vector<Byte> mine;
  std::vector<Byte> theirs;
  const auto into = [](std::vector<Byte>& bytes) {
    return [&bytes](std::size_t index, unsigned char value) {
      bytes.push_back(Byte{static_cast<uint32_t>(index), value});
    };
  };
  forEachByte(into(mine));
  other.forEachByte(into(theirs));
  return compareNonZero(mine, theirs);
}

bool Tape::operator==(const Tape& other) const {
  check(other, "operator==");
  return compare(other) == 0;
}

bool Tape::operator!=(const Tape& other) const {
  check(other, "operator!=");
  return compare(other) != 0;
}

bool Tape::operator<(const Tape& other) const {
  check(other, "operator<");
  return compare(other) < 0;
}

Tape::operator bool() const {
  bool blank = true;
  forEachByte([&blank](std::size_t, unsigned char) { blank = false; });
  return blank;
}

// Both shifts rebuild the bytes from the tape bits alone, so a shifted tape
// has all its spare bits clear whatever they held before.
Tape& Tape::operator<<=(unsigned long shift) {
  if (shift == 0) return *this;
  densify();
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  for (unsigned long index = shift; index < _bitCount; ++index)
    if (isSet(index - shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

Tape& Tape::operator>>=(unsigned long shift) {
  if (shift == 0) return *this;
  densify();
  std::vector<unsigned char> bytes(_bytes.size(), 0);
  if (shift < _bitCount)
    for (unsigned long index = 0; index < _bitCount - shift; ++index)
      if (isSet(index + shift)) setBit(bytes, index);
  _bytes = std::move(bytes);
  return *this;
}

std::string Tape::getPattern(bool grouped) const {
  std::string pattern;
  pattern.reserve(_bitCount + (grouped ? getByteCount() : 0));
  for (unsigned long index = 0; index < _bitCount; ++index) {
    if (grouped && index != 0 && index % kBitsPerByte == 0) pattern += '+';
    pattern += isSet(index) ? '1' : '0';
  }
  return pattern;
}

std::string Tape::_getLabel() const {
  return "TAPE[" + std::to_string(_bitCount) + "]:" + getPattern(true);
}

Orvek::Slot* Tape::_getSlot(const std::string& name) const {
  return new Orvek::StandardSlot<Tape>(name, *this);
}

Orvek::Record* Tape::_getRecord() const {
  auto* record = new Orvek::Record(_getLabel());
  record->addHeader("Tape");
  record->add("BitCount", _bitCount);
  record->add("Pattern", getPattern(true));
  return record;
}

bool Tape::_hasRecord() const {
  return true;
}

}  // namespace Morva
