#include "MessageRecorder.h"

#include <algorithm>
#include <string_view>

namespace MorvaTool {

namespace {

// The longest line kept; the rest of a longer one is dropped.
constexpr std::size_t kLineSize = 4096;

}  // namespace

std::vector<std::string> MessageRecorder::getMessages() const {
  std::vector<std::string> messages = _messages;
  if (_omitted > 0)
    messages.push_back(std::to_string(_omitted) + " more warnings and errors not listed");
  return messages;
}

MessageRecorder::int_type MessageRecorder::overflow(int_type character) {
  if (traits_type::eq_int_type(character, traits_type::eof()))
    return traits_type::not_eof(character);
  const char text = traits_type::to_char_type(character);
  if (_target->sputc(text) == traits_type::eof()) return traits_type::eof();
  take(&text, 1);
  return character;
}

std::streamsize MessageRecorder::xsputn(const char* text, std::streamsize count) {
  const std::streamsize written = _target->sputn(text, count);
  if (written > 0) take(text, static_cast<std::size_t>(written));
  return written;
}

int MessageRecorder::sync() {
  return _target->pubsync();
}

void MessageRecorder::take(const char* text, std::size_t count) {
  for (std::string_view rest(text, count); !rest.empty();) {
    const std::size_t end = rest.find('\n');
    const std::string_view part = rest.substr(0, end);
    _line.append(part.substr(0, kLineSize - std::min(kLineSize, _line.size())));
    if (end == std::string_view::npos) return;
    const std::size_t start = _line.find_first_not_of(' ');
    const std::string_view line =
        start == std::string::npos ? std::string_view() : std::string_view(_line).substr(start);
    if (line.starts_with("Warning: ") || line.starts_with("Error: ")) {
      if (_messages.size() < kLimit)
        _messages.emplace_back(line);
      else
        ++_omitted;
    }
    _line.clear();
    rest.remove_prefix(end + 1);
  }
}

}  // namespace MorvaTool
