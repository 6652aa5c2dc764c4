#pragma once

#include <Morva/Export.h>
#include <Orvek/Stuff.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Morva {

// A fixed-size bit vector packed seven bits per byte: tape bit i is bit
// (i mod 7) of byte (i div 7), bit 0 being the least significant. The high
// bit of every byte, and in the last byte every bit above the last tape
// bit, is a spare bit. Spare bits are kept and compared like the others:
// the all-ones constructor and the complement set them; blank tapes,
// single-bit writes, and / or / xor of such tapes and every non-null shift
// leave them clear. Equality and ordering compare whole bytes, so two tapes
// that differ only in spare bits are different tapes.
class MORVA_API Tape : public Orvek::Stuff {
 public:
  // A writable view of one bit of a tape: the byte that holds it and the
  // bit's position in that byte. It lives no longer than the tape's bytes.
  class MORVA_API Bit : public Orvek::Stuff {
   public:
    Bit(unsigned char& byte, unsigned position) : _byte(byte), _position(position) {}
    Bit(const Bit&) = default;
    ~Bit() override = default;

    // Writes the other bit's value into this bit; the view itself stays.
    Bit& operator=(const Bit& other) { return *this = static_cast<bool>(other); }
    Bit& operator=(bool value) {
      const auto mask = static_cast<unsigned char>(1U << _position);
      if (value)
        _byte |= mask;
      else
        _byte &= static_cast<unsigned char>(~mask);
      return *this;
    }
    operator bool() const { return (_byte >> _position) & 1U; }

    std::string _getLabel() const override;
    // The slot holds the bit's value, not the view, so it outlives the tape.
    Orvek::Slot* _getSlot(const std::string& name) const override;

   private:
    unsigned char& _byte;
    unsigned _position;
  };

  // The empty tape of 0 bits.
  Tape() = default;
  // `bitCount` bits, all clear, or with `value` all set together with the
  // spare bits of every byte but the last.
  Tape(unsigned long bitCount, bool value);
  Tape(const Tape&) = default;
  Tape(Tape&&) noexcept = default;
  Tape& operator=(const Tape&) = default;
  Tape& operator=(Tape&&) noexcept = default;
  ~Tape() override = default;

  unsigned long getBitCount() const { return _bitCount; }
  const std::vector<unsigned char>& getBytes() const {
    densify();
    return _bytes;
  }
  // Keeps the tape in the form that takes less room.
  void compact();

  bool operator[](unsigned long index) const;
  Bit operator[](unsigned long index);

  Tape& operator&=(const Tape& other);
  Tape& operator|=(const Tape& other);
  Tape& operator^=(const Tape& other);
  // Complements whole bytes, spare bits included.
  Tape operator~() const;

  bool operator==(const Tape& other) const;
  bool operator!=(const Tape& other) const;
  // Byte by byte from byte 0, each byte read as a signed 8-bit value.
  bool operator<(const Tape& other) const;

  // True when no bit is set: a blank tape converts to true.
  operator bool() const;

  // Bit i moves to i + shift; bits pushed past the end are lost and the
  // low `shift` bits become clear. A null shift changes nothing, a shift of
  // the bit count or more clears the tape.
  Tape& operator<<=(unsigned long shift);
  // Bit i moves to i - shift; the low `shift` bits are lost and the high
  // `shift` bits become clear. A null shift changes nothing, a shift of the
  // bit count or more clears the tape.
  Tape& operator>>=(unsigned long shift);

  // One "1" or "0" per bit in index order; when grouped, a "+" between the
  // bits of consecutive bytes, as in 1000000+010.
  std::string getPattern(bool grouped) const;

  std::string _getLabel() const override;
  Orvek::Slot* _getSlot(const std::string& name) const override;
  Orvek::Record* _getRecord() const override;
  bool _hasRecord() const override;

 private:
  // A non-zero byte of a sparse tape.
  struct Byte {
    uint32_t index;
    unsigned char value;
    bool operator==(const Byte&) const = default;
  };
  // A run of bytes of a chunked tape. Tapes made from one another share the
  // runs neither changed: a mask one bit more than another costs one run.
  using Chunk = std::vector<unsigned char>;
  // The runs of a chunked tape, null for a run of zeros; copies of a tape
  // share the list until one of them changes.
  using Runs = std::vector<std::shared_ptr<const Chunk>>;
  enum class Form : uint8_t { Dense, Sparse, Chunked };

  bool isSet(unsigned long index) const { return (getByte(index / 7) >> (index % 7)) & 1U; }
  std::size_t getByteCount() const;
  std::size_t getChunkSize() const;
  const Runs& getRuns() const { return *_runs; }
  const std::vector<Byte>& getSparse() const { return *_sparse; }
  unsigned char getByte(std::size_t index) const;
  // Calls `visit(index, value)` on every non-zero byte, in index order.
  template <class Visit>
  void forEachByte(Visit visit) const;
  // -1, 0 or 1 as this tape's bytes, read as signed values, come before,
  // equal or after the other's.
  int compare(const Tape& other) const;
  // Combines bytewise with `combine`, which maps (0, 0) to 0.
  template <class Combine>
  void combineWith(const Tape& other, Combine combine);
  template <class Combine>
  void combineChunks(const Tape& other, Combine combine);
  void densify() const;
  void makeSparse();
  void makeChunked();
  void check(const Tape& other, const char* operation) const;
  void checkIndex(unsigned long index) const;

  unsigned long _bitCount = 0;
  // All the bytes of a dense tape; empty in the other forms.
  mutable std::vector<unsigned char> _bytes;
  // The non-zero bytes of a sparse tape, by index; copies of a tape share
  // them.
  mutable std::shared_ptr<const std::vector<Byte>> _sparse;
  mutable std::shared_ptr<const Runs> _runs;
  mutable Form _form = Form::Dense;
};

}  // namespace Morva
