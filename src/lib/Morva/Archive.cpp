#include <Morva/Analyzer.h>
#include <Morva/Archive.h>
#include <Morva/DPath.h>
#include <Morva/Edge.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Morva/Pole.h>
#include <Morva/detail/RecordLookAhead.h>
#include <Orvek/Console.h>
#include <Orvek/Exception.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace Morva {

namespace {

constexpr const char* kSource = "lib/Morva/Archive";

// One buffer for every archive: a read returns at most kLineSize - 1
// characters, so a longer line arrives as several pieces.
constexpr int kLineSize = 2048;
char lineBuffer[kLineSize];

// zlib's own buffer: larger than its default, for fewer system reads.
constexpr unsigned kReadBufferSize = 1U << 17;

using PoleView = Orvek::SetCollection<Pole*, Object::StampLess>;

// The file being loaded, read through zlib (plain files pass through as
// they are). Its size is taken when it is opened, so that a file cut short
// by another program while it is read is not taken for a complete one.
class InputFile {
 public:
  explicit InputFile(const std::string& name) {
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return;
    if (fstat(descriptor, &_opened) != 0 || !(_file = gzdopen(descriptor, "r"))) {
      ::close(descriptor);
      return;
    }
    _descriptor = descriptor;
    gzbuffer(_file, kReadBufferSize);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
    if (_file) gzclose(_file);
  }

  bool isOpen() const { return _file != nullptr; }
  // The size of a file read as it is, or 0 for a compressed one.
  off_t getPlainSize() const { return gzdirect(_file) ? _opened.st_size : 0; }
  // The next piece of at most kLineSize - 1 characters into `lineBuffer`.
  bool getLine() { return gzgets(_file, lineBuffer, kLineSize) != nullptr; }
  // After the last piece: whether it ended at the end of the data, with the
  // file as long as when it was opened.
  bool isComplete() const {
    int status = Z_OK;
    gzerror(_file, &status);
    struct stat now {};
    return status == Z_OK && fstat(_descriptor, &now) == 0 && now.st_size == _opened.st_size;
  }

 private:
  gzFile _file = nullptr;
  int _descriptor = -1;
  struct stat _opened {};
};

// Cleans the piece in place and returns its length: the comment from the
// first "#" on is cut, the newline removed, tabs become blanks, runs of
// blanks become one blank and trailing blanks go. Carriage returns and one
// leading blank stay.
std::size_t clean(char* text) {
  // Most pieces are one record ending in a newline, with neither comment,
  // tab nor run of blanks: those are found with whole-buffer scans.
  const std::size_t size = std::strlen(text);
  const char* feed = static_cast<const char*>(std::memchr(text, '\n', size));
  if ((!feed || feed == text + size - 1) && !std::memchr(text, '#', size) &&
      !std::memchr(text, '\t', size) &&
      std::string_view(text, size).find("  ") == std::string_view::npos) {
    std::size_t length = feed ? size - 1 : size;
    while (length > 0 && text[length - 1] == ' ') --length;
    text[length] = '\0';
    return length;
  }
  std::size_t length = 0;
  bool newline = false;
  for (const char* read = text; *read != '\0' && *read != '#'; ++read) {
    char c = *read;
    if (c == '\n' && !newline) {
      newline = true;
      continue;
    }
    if (c == '\t') c = ' ';
    if (c == ' ' && length > 0 && text[length - 1] == ' ') continue;
    text[length++] = c;
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  text[length] = '\0';
  return length;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A count as the records write it: leading blanks, an optional sign, then
// the digits up to the first other character (none gives 0), kept to its
// low 32 bits as a signed value.
std::int32_t readCount(const std::string& text) {
  std::size_t index = 0;
  while (index < text.size() && isBlank(text[index])) ++index;
  bool negative = false;
  if (index < text.size() && (text[index] == '-' || text[index] == '+'))
    negative = text[index++] == '-';
  std::uint64_t value = 0;
  for (; index < text.size() && text[index] >= '0' && text[index] <= '9'; ++index)
    value = value * 10 + static_cast<std::uint64_t>(text[index] - '0');
  if (negative) value = 0 - value;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Whether an edge of this purpose is a timing check, which ends at the
// data side of a register: its dual pole.
bool isCheck(std::string_view purpose) {
  return purpose == "SetupHold" || purpose == "RecoveryRemoval";
}

// The records of one load. The words of each line are copied into strings
// that are kept from line to line, so that reading allocates only when a
// line has more or longer words than any before it. `POLE` and `EDGE`
// records wait in a look-ahead queue while what they touch is fetched;
// every other line, and everything told of a piece, first reads the
// records queued before it, so that lines are read, reported and rejected
// in their order.
class Reader {
 public:
  // `poles`: the main poles the file is expected to hold, 0 if unknown.
  Reader(ArchiveListener* listener, std::size_t poles)
      : _listener(listener), _expectedPoles(poles) {}

  void read(const char* text);
  // Reads the queued lines.
  void flush() {
    while (!_queue.isEmpty()) readQueued();
  }
  void countLine() { ++_line; }
  // The line being read, or the last one read.
  std::uint64_t getLine() const { return _line; }
  const char* getText() const { return _fromQueue ? _queue.getText().c_str() : lineBuffer; }
  // Tells the listener of a piece that continues a longer line, and of the
  // first line ending in a carriage return; `text` is the piece as read.
  void notePiece(const char* text);

 private:
  enum class PathKind { False, Multicycle, Maximum, Minimum };

  void queue(const char* text, bool pole);
  void readQueued();
  void dispatch(const char* text);
  void split(const char* text);
  std::string getSuffix() const { return " (line " + Orvek::getLabel(_line) + ")"; }
  // A console error, told to the listener first with `detail` added.
  void error(const char* kind, const std::string& text, const std::string& detail = "") const {
    if (_listener) _listener->rejected(_line, kind, detail.empty() ? text : text + ": " + detail);
    Orvek::console.error(text + getSuffix(), "");
  }
  void warning(const char* kind, const std::string& text) const {
    if (_listener) _listener->rejected(_line, kind, text);
    Orvek::console.warning(text + getSuffix(), "");
  }
  void misread(const char* kind, const std::string& message) const {
    if (_listener) _listener->misread(_line, kind, message);
  }
  // Prints the syntax error when the word count is outside [least, most].
  void checkCount(std::size_t least, std::size_t most) const {
    if (_count < least || _count > most)
      error("syntax", "Syntax error",
            _words[0] + " with " + Orvek::getLabel(static_cast<std::uint64_t>(_count)) + " words");
  }
  [[noreturn]] void refuse(const char* message) const {
    Orvek::console.error("Invalid Request" + getSuffix(), "");
    Orvek::raise<Orvek::InvalidRequest>(kSource, "load", message);
  }
  // Misreads of a word that the record turns into a code or a delay
  // without a message: the code's default or Undefined.
  template <class Code>
  void checkCode(const std::string& text, const char* kind) const {
    if (!_listener) return;
    const Code code(text);
    if (code.getName() != text)
      misread(kind,
              "Unknown " + std::string(kind) + " \"" + text + "\", read as " + code.getName());
  }
  void checkDelay(const std::string& text, const char* what) const {
    if (_listener && !text.empty() && Delay(text) == Delay::getUndefined())
      misread("delay", std::string(what) + " \"" + text +
                           "\" is not an integer of 32 bits, read as undefined");
  }
  void checkName(const std::string& name, const char* what) const {
    misread("unknown-name", std::string(what) + " " + name + " names no pole");
  }

  void readPole();
  void readEdge();
  Pole* findEndPole(const PoleRegistry& registry, std::size_t side) const;
  void readClock();
  void readPath(PathKind kind);
  void readClockGroups();
  void readIODelay(bool input);

  ArchiveListener* _listener;
  std::size_t _expectedPoles;
  RecordLookAhead _queue;
  bool _fromQueue = false;
  std::uint64_t _line = 0;
  std::vector<std::string> _words;
  std::size_t _count = 0;
  // Whether the last piece filled the buffer without a newline, whether
  // the line it starts was reported as split, and whether a carriage
  // return line end was reported.
  bool _continued = false;
  bool _splitReported = false;
  bool _carriageReported = false;
};

void Reader::notePiece(const char* text) {
  if (!_listener) return;
  const std::size_t size = std::strlen(text);
  const bool ended = size > 0 && text[size - 1] == '\n';
  if (_continued && !_splitReported) {
    flush();
    misread("long-line", "Line longer than " + Orvek::getLabel(kLineSize - 1) +
                             " characters: its rest is read as further lines");
    _splitReported = true;
  }
  _continued = !ended && size == kLineSize - 1;
  if (!_continued) _splitReported = false;
  if (!_carriageReported && ended && size > 1 && text[size - 2] == '\r') {
    flush();
    misread("carriage-return",
            "Lines end with a carriage return (CRLF): the last word of each keeps it");
    _carriageReported = true;
  }
}

void Reader::split(const char* text) {
  _count = 0;
  while (*text != '\0') {
    while (*text == ' ') ++text;
    if (*text == '\0') break;
    const char* start = text;
    while (*text != '\0' && *text != ' ') ++text;
    if (_count == _words.size()) _words.emplace_back();
    _words[_count++].assign(start, static_cast<std::size_t>(text - start));
  }
}

void Reader::read(const char* text) {
  const bool pole = std::strncmp(text, "POLE ", 5) == 0;
  // While the poles fit in the caches, reading ahead costs more than the
  // misses it saves. A fuzzing build reads ahead from the first pole, so
  // that its small inputs go through the queue.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  constexpr std::size_t kLookAheadPoles = 1;
#else
  constexpr std::size_t kLookAheadPoles = 1 << 16;
#endif
  if ((pole || std::strncmp(text, "EDGE ", 5) == 0) &&
      analyzer->getMainPoleRegistry().size() >= kLookAheadPoles) {
    queue(text, pole);
    return;
  }
  flush();
  dispatch(text);
}

// POLE name ... names a main pole; EDGE source target purpose ... a main
// source and a main or dual target.
void Reader::queue(const char* text, bool pole) {
  if (_queue.isFull()) readQueued();
  std::array<std::string_view, 4> words{};
  std::string_view rest(text);
  for (std::string_view& word : words) {
    const std::size_t blank = rest.find(' ');
    word = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
  const PoleRegistry& main = analyzer->getMainPoleRegistry();
  if (pole) {
    _queue.pushPole(text, _line, {words[1], &main});
    return;
  }
  const PoleRegistry& targets = isCheck(words[3]) ? analyzer->getDualPoleRegistry() : main;
  _queue.pushEdge(text, _line, {words[1], &main}, {words[2], &targets});
}

void Reader::readQueued() {
  const std::uint64_t line = _line;
  _line = _queue.getLine();
  _fromQueue = true;
  dispatch(_queue.getText().c_str());
  // A failure leaves the line and its text to the report of the load.
  _fromQueue = false;
  _line = line;
  _queue.pop();
}

void Reader::dispatch(const char* text) {
  split(text);
  if (_count == 0) return;
  const std::string& keyword = _words[0];
  if (keyword == "POLE")
    readPole();
  else if (keyword == "EDGE")
    readEdge();
  else if (keyword == "CREATE_CLOCK")
    readClock();
  else if (keyword == "FALSE_PATH")
    readPath(PathKind::False);
  else if (keyword == "MULTICYCLE_PATH")
    readPath(PathKind::Multicycle);
  else if (keyword == "MAXIMUM_DELAY_PATH")
    readPath(PathKind::Maximum);
  else if (keyword == "MINIMUM_DELAY_PATH")
    readPath(PathKind::Minimum);
  else if (keyword == "CREATE_CLOCK_GROUPS")
    readClockGroups();
  else if (keyword == "SET_INPUT_DELAY")
    readIODelay(true);
  else if (keyword == "SET_OUTPUT_DELAY")
    readIODelay(false);
  else
    error("unrecognized", "Unrecognized token " + keyword);
}

// POLE name mode type [report name]
void Reader::readPole() {
  checkCount(4, 5);
  if (_count < 4) return;
  checkCode<Mode>(_words[2], "mode");
  checkCode<Type>(_words[3], "type");
  Pole* pole = Pole::createMain(_words[1]);
  // Once the design shows itself large, the index makes room at once for
  // the poles the file's size suggests, up to 8.4 million, instead of
  // doubling step by step.
  constexpr std::size_t kLargeDesign = std::size_t(1) << 15;
  if (analyzer->getMainPoleRegistry().size() == kLargeDesign && _expectedPoles > kLargeDesign)
    analyzer->reserveMainPoles(std::min(_expectedPoles, kLargeDesign << 8) - kLargeDesign);
  pole->setMode(Mode(_words[2]));
  pole->setType(Type(_words[3]));
  if (_count == 5) pole->setReportName(_words[4]);
  // A clock pole is a register's clock pin: its data pin is the dual pole
  // of the same name.
  if (pole->isClock()) Pole::createDual(_words[1])->setMode(Mode(Mode::None));
}

// EDGE source target purpose minimum maximum
void Reader::readEdge() {
  checkCount(6, 6);
  if (_count < 6) return;
  Pole* source = findEndPole(analyzer->getMainPoleRegistry(), 0);
  if (!source) error("unknown-pole", "Null source", "no pole named " + _words[1]);
  // Timing checks end at the data side of a register, its dual pole.
  const std::string& purpose = _words[3];
  const bool check = isCheck(purpose);
  Pole* target =
      findEndPole(check ? analyzer->getDualPoleRegistry() : analyzer->getMainPoleRegistry(), 1);
  if (!target)
    error("unknown-pole", "Null target",
          std::string(check ? "no dual pole named " : "no pole named ") + _words[2]);
  checkCode<Purpose>(purpose, "purpose");
  checkDelay(_words[4], "Minimum delay");
  checkDelay(_words[5], "Maximum delay");
  Edge* edge = Edge::create(source, target, Purpose(purpose));
  edge->setMinimumDelay(Delay(_words[4]));
  edge->setMaximumDelay(Delay(_words[5]));
}

// The source (side 0) or target (1) an edge record names. A queued
// record's names were hashed when it was queued.
Pole* Reader::findEndPole(const PoleRegistry& registry, std::size_t side) const {
  const std::string& name = _words[1 + side];
  return _fromQueue ? registry.find(name, _queue.getHash(side)) : registry.find(name);
}

// CREATE_CLOCK root [-name] name -period period -rising instant -falling instant
void Reader::readClock() {
  checkCount(6, SIZE_MAX);
  if (_count < 2) return;
  Pole* root = analyzer->getMainPole(_words[1]);
  if (!root) refuse("Null pole");
  std::string name;
  std::string period;
  std::string rising;
  std::string falling;
  std::string* current = &name;
  for (std::size_t index = 2; index < _count; ++index) {
    const std::string& word = _words[index];
    if (word == "-name")
      current = &name;
    else if (word == "-period")
      current = &period;
    else if (word == "-rising")
      current = &rising;
    else if (word == "-falling")
      current = &falling;
    else
      *current = word;
  }
  checkDelay(period, "Period");
  checkDelay(rising, "Rising instant");
  checkDelay(falling, "Falling instant");
  const Delay cycle(period);
  if (cycle != Delay::getUndefined() && cycle < Delay(1))
    misread("period", "Clock period " + period + " is not above 0");
  analyzer->createClock(root, name, cycle, Delay(rising), Delay(falling));
}

// FALSE_PATH options
// MULTICYCLE_PATH count options
// MAXIMUM_DELAY_PATH delay options, MINIMUM_DELAY_PATH delay options
// with the options -from, -through and -to, each followed by pole names.
void Reader::readPath(PathKind kind) {
  const bool isFalse = kind == PathKind::False;
  checkCount(isFalse ? 3 : 6, SIZE_MAX);
  if (!isFalse && _count < 2) return;
  PoleSet sources;
  PoleSet bridges;
  PoleSet targets;
  PoleSet* current = &sources;
  for (std::size_t index = isFalse ? 1 : 2; index < _count; ++index) {
    const std::string& word = _words[index];
    if (word == "-from") {
      current = &sources;
    } else if (word == "-through") {
      current = &bridges;
    } else if (word == "-to") {
      current = &targets;
    } else if (Pole* pole = analyzer->getMainPole(word)) {
      // Timed exceptions end where a register captures its data.
      if (current == &targets && !isFalse && pole->isClock()) {
        Pole* dual = pole->getDual();
        if (!dual) {
          warning("no-dual-pole", "Clock pole " + word + " has no dual pole");
          continue;
        }
        pole = dual;
      }
      current->insert(pole);
    } else {
      checkName(word, _words[0].c_str());
    }
  }
  const PoleView sourceView(sources);
  const PoleView bridgeView(bridges);
  const PoleView targetView(targets);
  switch (kind) {
    case PathKind::False:
      FPath::create(sourceView, bridgeView, targetView);
      break;
    case PathKind::Multicycle: {
      const std::int32_t count = readCount(_words[1]);
      if (count < 2) error("cycle-count", "Invalid cycle count", _words[1]);
      if (count < 0) return;
      MPath::create(sourceView, bridgeView, targetView, static_cast<unsigned long>(count));
      break;
    }
    case PathKind::Maximum:
    case PathKind::Minimum: {
      const Delay delay(_words[1]);
      if (delay == Delay::getUndefined()) error("invalid-delay", "Invalid delay", _words[1]);
      if (kind == PathKind::Maximum)
        DPath::createMaximum(sourceView, bridgeView, targetView, delay);
      else
        DPath::createMinimum(sourceView, bridgeView, targetView, delay);
      break;
    }
  }
}

// CREATE_CLOCK_GROUPS [-asynchronous | -exclusive] -group clocks -group clocks
void Reader::readClockGroups() {
  checkCount(5, SIZE_MAX);
  PoleSet first;
  PoleSet second;
  unsigned long group = 0;
  bool exclusive = true;
  for (std::size_t index = 1; index < _count; ++index) {
    const std::string& word = _words[index];
    if (word == "-asynchronous") {
      exclusive = false;
    } else if (word == "-exclusive") {
      exclusive = true;
    } else if (word == "-group") {
      ++group;
    } else {
      Pole* root = analyzer->getClockRoot(word);
      if (!root) {
        if (_listener) _listener->rejected(_line, "unknown-clock", "No clock named " + word);
        Orvek::console.warning("\"" + word + "\" could not be matched with a clock", "");
        continue;
      }
      if (group == 0)
        Orvek::raise<Orvek::InvalidRequest>(kSource, "load", "Null clock group count");
      if (group > 2) Orvek::raise<Orvek::InvalidRequest>(kSource, "load", "Too many clock groups");
      (group == 1 ? first : second).insert(root);
    }
  }
  if (first.empty() || second.empty())
    Orvek::raise<Orvek::InvalidRequest>(kSource, "load", "Empty clock group(s)");
  analyzer->createClockGroups(PoleView(first), PoleView(second), exclusive);
}

// SET_INPUT_DELAY / SET_OUTPUT_DELAY -clock clock [-rise | -fall] -min delay
// -max delay -port ports
void Reader::readIODelay(bool input) {
  checkCount(7, SIZE_MAX);
  enum class Option { Clock, Minimum, Maximum, Port };
  Pole* clock = nullptr;
  Mode mode(Mode::Rising);
  std::string minimum = "0";
  std::string maximum = "0";
  PoleSet ports;
  Option current = Option::Clock;
  for (std::size_t index = 1; index < _count; ++index) {
    const std::string& word = _words[index];
    if (word == "-clock") {
      current = Option::Clock;
    } else if (word == "-min") {
      current = Option::Minimum;
    } else if (word == "-max") {
      current = Option::Maximum;
    } else if (word == "-port") {
      current = Option::Port;
    } else if (word == "-rise") {
      mode = Mode(Mode::Rising);
    } else if (word == "-fall") {
      mode = Mode(Mode::Falling);
    } else {
      switch (current) {
        case Option::Clock:
          clock = analyzer->getMainPole(word);
          if (!clock) checkName(word, "Clock");
          break;
        case Option::Minimum:
          minimum = word;
          break;
        case Option::Maximum:
          maximum = word;
          break;
        case Option::Port:
          if (Pole* port = analyzer->getMainPole(word))
            ports.insert(port);
          else
            checkName(word, "Port");
          break;
      }
    }
  }
  if (!clock) refuse("Null clock");
  checkDelay(minimum, "Minimum delay");
  checkDelay(maximum, "Maximum delay");
  const IOConstraint constraint(clock, mode, Delay(minimum), Delay(maximum));
  for (Pole* port : ports) {
    if (input)
      analyzer->setInputConstraint(port, constraint);
    else
      analyzer->setOutputConstraint(port, constraint);
  }
}

}  // namespace

Archive::Archive(const std::string& fileName) : _fileName(fileName) {}

bool Archive::isValid() const {
  if (_fileName.empty()) return false;
  // zlib opens a directory without complaint and then reads nothing from
  // it; devices and pipes may never end. Only regular files are archives.
  std::error_code failure;
  if (!std::filesystem::is_regular_file(_fileName, failure)) return false;
  gzFile file = gzopen(_fileName.c_str(), "r");
  if (!file) return false;
  gzclose(file);
  return true;
}

void Archive::load() {
  if (!analyzer) Orvek::raise<Orvek::LoadFailed>(kSource, "load", "Null analyzer");
  if (!isValid()) Orvek::raise<Orvek::LoadFailed>(kSource, "load", "Invalid archive");
  InputFile file(_fileName);
  if (!file.isOpen())
    Orvek::raise<Orvek::LoadFailed>(kSource, "load", "Cannot read file " + _fileName);

  Orvek::console.print("Loading archive " + _fileName, "");
  Orvek::console.indent();
  Orvek::console.openTimer("");
  // A design's text takes some 80 bytes per pole with its edges; counting
  // 128 keeps the room made from outgrowing the poles of a file richer in
  // edges or constraints.
  constexpr off_t kBytesPerPole = 128;
  Reader reader(_listener, static_cast<std::size_t>(file.getPlainSize() / kBytesPerPole));
  try {
    while (file.getLine()) {
      reader.countLine();
      reader.notePiece(lineBuffer);
      if (clean(lineBuffer) == 0) continue;
      reader.read(lineBuffer);
    }
    reader.flush();
    // End of data and a read failure both end the loop: a corrupt or
    // truncated compressed file, or a file cut short while it was read,
    // must not pass for a complete one.
    if (!file.isComplete())
      Orvek::raise<Orvek::LoadFailed>(kSource, "load", "Cannot read file " + _fileName);
  } catch (...) {
    if (_listener) _listener->stopped(reader.getLine(), reader.getText());
    Orvek::console.closeTimer("Loading archive failed in %");
    Orvek::console.unindent();
    // The dump only helps to understand the failure: a failing dump must not
    // hide the exception that ended the load.
    try {
      if (analyzer && analyzer->_hasRecord()) Orvek::inspect(analyzer->_getRecord(), "");
    } catch (...) {
    }
    throw;
  }
  Orvek::console.closeTimer("Loading archive succeed in %");
  Orvek::console.unindent();
}

}  // namespace Morva
