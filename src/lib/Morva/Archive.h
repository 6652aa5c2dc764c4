#pragma once

#include <Morva/Export.h>

#include <cstdint>
#include <string>

namespace Morva {

// What a program that loads archives learns of their lines beyond the
// console: every line the loader reports on the console (`rejected`), every
// line it builds from although its words do not mean what they say
// (`misread`: a purpose, mode or type that is no such name, a delay that is
// no integer, a name that finds no pole, a period below 1, a line split
// because it is longer than the line buffer, a carriage return before the
// newline), and the line at which an exception ended the load (`stopped`,
// with the cleaned words of that line). `kind` is a short fixed word naming
// the sort of problem; `line` counts as the console's "(line N)" does.
// Listening changes nothing that the loader builds or prints.
class MORVA_API ArchiveListener {
 public:
  virtual ~ArchiveListener() = default;
  virtual void rejected(std::uint64_t line, const std::string& kind,
                        const std::string& message) = 0;
  virtual void misread(std::uint64_t line, const std::string& kind, const std::string& message) = 0;
  virtual void stopped(std::uint64_t line, const std::string& text) = 0;
};

// A timing description stored in a text file, plain or gzip-compressed, and
// the loader that builds it into the one analyzer.
//
// Every record is one line that starts with a keyword (POLE, EDGE,
// CREATE_CLOCK, FALSE_PATH, MULTICYCLE_PATH, MAXIMUM_DELAY_PATH,
// MINIMUM_DELAY_PATH, CREATE_CLOCK_GROUPS, SET_INPUT_DELAY,
// SET_OUTPUT_DELAY); "#" starts a comment, blanks and tabs separate the
// words. Lines are read in pieces of at most 2047 characters into one buffer
// shared by every archive, so only one load may run at a time; each piece is
// handled and counted as a line of its own, and console messages name the
// line number as "(line N)".
//
// Malformed lines are reported on the console and loading goes on, except
// where a record cannot be built at all:
// - A record with fewer words than the positional fields it reads (POLE with
//   fewer than 4, EDGE with fewer than 6, CREATE_CLOCK, MULTICYCLE_PATH,
//   MAXIMUM_DELAY_PATH and MINIMUM_DELAY_PATH with the keyword alone) prints
//   "Syntax error (line N)" and is skipped: missing words are never read.
// - A negative MULTICYCLE_PATH count prints "Invalid cycle count (line N)"
//   and no path is created (a count of 0 or 1 is reported the same way but
//   still reaches the multicycle path factory, which rejects it).
// - A multicycle or delay path target that is a clock pole without a dual
//   pole (possible only for poles created outside an archive) prints a
//   warning naming the pole and is left out of the targets.
// - A file that is not a regular file (a directory, a device, a missing
//   path) is not a valid archive: `isValid` checks that before opening it, so
//   a directory fails with "Invalid archive" instead of reading nothing.
// - A compressed file that cannot be decompressed to its end (corrupt or
//   truncated), or a file whose size changes while it is read (cut short or
//   rewritten by another program), fails with "Cannot read file " + name
//   once the readable lines were handled, through the same failure path as
//   any other load error. A file removed while it is read is still read to
//   its end.
class MORVA_API Archive {
 public:
  explicit Archive(const std::string& fileName);

  const std::string& getFileName() const { return _fileName; }
  // The listener told of the lines of the next loads (none by default); it
  // must outlive them.
  void setListener(ArchiveListener* listener) { _listener = listener; }

  // Whether the name is not empty and names a regular file that zlib can
  // open for reading (it is closed again at once).
  bool isValid() const;
  // Reads the whole file into the analyzer. Console errors do not stop the
  // load; an exception does: the console timer is closed with "failed", the
  // console unindented, the file closed, the analyzer's record inspected,
  // and the same exception thrown on. What was created before it stays.
  void load();

 private:
  std::string _fileName;
  ArchiveListener* _listener = nullptr;
};

}  // namespace Morva
