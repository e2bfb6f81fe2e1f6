// Checking UTF-8 that came from outside (a web page, a file name) before it is trusted as
// such: strict, as a JSON reader or a browser checks it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mizuto {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 for ASCII), or 0
// when there is none: a stray continuation byte, an overlong form, a surrogate, a code
// point past U+10FFFF, a byte that never begins a sequence, or a sequence cut short.
std::size_t Utf8SequenceLength(std::string_view text);

// Whether `text` is well-formed UTF-8 throughout; `hasMultiByte` (when given) says whether
// any sequence of more than one byte was seen, since pure ASCII reads the same either way.
bool IsWellFormedUtf8(std::string_view text, bool* hasMultiByte = nullptr);

// Appends `text` to `out` with each byte that begins no well-formed sequence replaced by
// U+FFFD, so that what is written is UTF-8 whatever the file system held.
void AppendValidUtf8(std::string_view text, std::string& out);

// `text` for a line of its own in a line-based output: each control character (a line
// break, a tab that would start a new column) is shown as "?", the way a terminal listing
// shows a file name that holds one.
std::string OnOneLine(std::string_view text);

}  // namespace mizuto
