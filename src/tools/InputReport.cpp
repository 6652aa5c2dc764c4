#include "InputReport.h"

#include <Orvek/Label.h>

#include <cstring>
#include <iostream>

namespace MorvaTool {

ConsoleFilter::~ConsoleFilter() {
  if (!_line.empty()) _target << _line;
  _target.flush();
}

ConsoleFilter::int_type ConsoleFilter::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char text = traits_type::to_char_type(c);
  return xsputn(&text, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ConsoleFilter::xsputn(const char* text, std::streamsize count) {
  const char* end = text + count;
  while (text < end) {
    const auto* feed =
        static_cast<const char*>(std::memchr(text, '\n', static_cast<std::size_t>(end - text)));
    if (!feed) {
      _line.append(text, end);
      break;
    }
    _line.append(text, feed + 1);
    text = feed + 1;
    if (_skipped > 0)
      --_skipped;
    else
      _target << _line;
    _line.clear();
  }
  return _target ? count : 0;
}

int ConsoleFilter::sync() {
  return _target.flush() ? 0 : -1;
}

namespace {

// The message with its control characters made visible: a word that kept
// a carriage return shows it as \r.
std::string getVisible(const std::string& message) {
  std::string visible;
  for (const char c : message) {
    if (c == '\r') {
      visible += "\\r";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      constexpr const char* kDigits = "0123456789abcdef";
      visible += "\\x";
      visible += kDigits[(static_cast<unsigned char>(c) >> 4) & 0xF];
      visible += kDigits[c & 0xF];
    } else {
      visible += c;
    }
  }
  return visible;
}

}  // namespace

void InputReport::Lines::add(std::uint64_t line) {
  if (count > 0 && last == line) return;
  ++count;
  last = line;
}

InputReport::InputReport(const std::string& archive, std::ostream& messages)
    : _archive(archive), _messages(messages) {}

void InputReport::note(Lines& lines, std::uint64_t line, const std::string& kind,
                       const std::string& message) {
  lines.add(line);
  if (++_kinds[kind] > kShownPerKind) return;
  // The console's own lines come first on a shared terminal.
  std::cout.flush();
  _messages << _archive;
  if (line > 0) _messages << ':' << line;
  _messages << ": " << getVisible(message) << '\n';
}

void InputReport::rejected(std::uint64_t line, const std::string& kind,
                           const std::string& message) {
  if (_filter) _filter->skipLine();
  note(_rejected, line, kind, message);
}

void InputReport::misread(std::uint64_t line, const std::string& kind, const std::string& message) {
  note(_misread, line, kind, message);
}

void InputReport::stopped(std::uint64_t line, const std::string& text) {
  _failureLine = line;
  _failureText = text;
}

std::string InputReport::getFailurePlace() const {
  return _failureLine == 0 ? _archive : _archive + ":" + Orvek::getLabel(_failureLine);
}

void InputReport::printSummary() const {
  for (const auto& [kind, count] : _kinds)
    if (count > kShownPerKind)
      _messages << _archive << ": " << count - kShownPerKind << " more \"" << kind
                << "\" messages not shown\n";
  if (!hasProblems()) return;
  _messages << _archive << ": " << _rejected.count << " line" << (_rejected.count == 1 ? "" : "s")
            << " rejected, " << _misread.count << " line" << (_misread.count == 1 ? "" : "s")
            << " misread\n";
}

nlohmann::ordered_json InputReport::getJson() const {
  nlohmann::ordered_json kinds = nlohmann::ordered_json::object();
  for (const auto& [kind, count] : _kinds) kinds[kind] = count;
  return {{"archive", _archive},
          {"rejected", _rejected.count},
          {"misread", _misread.count},
          {"kinds", kinds}};
}

void DesignWarnings::warned(const MorvaImport::Message& message) {
  InputReport*& report = _reports[message.file];
  if (!report) {
    _inputs.push_back(
        std::make_unique<InputReport>(message.file.empty() ? "design" : message.file, _messages));
    report = _inputs.back().get();
  }
  report->misread(message.line, "design", message.text);
}

}  // namespace MorvaTool
