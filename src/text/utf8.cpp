#include "text/utf8.h"

namespace mizuto {

std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto c = static_cast<unsigned char>(text[0]);
  if (c < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  const auto second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[k]);
    if (next < 0x80 || next > 0xBF) return 0;
  }
  return length;
}

bool IsWellFormedUtf8(std::string_view text, bool* hasMultiByte) {
  if (hasMultiByte != nullptr) *hasMultiByte = false;
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
    if (length == 0) return false;
    if (length > 1 && hasMultiByte != nullptr) *hasMultiByte = true;
    text.remove_prefix(length);
  }
  return true;
}

void AppendValidUtf8(std::string_view text, std::string& out) {
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
}

std::string OnOneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return line;
}

}  // namespace mizuto
