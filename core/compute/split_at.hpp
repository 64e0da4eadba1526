// Splitting a text at the first occurrence of a character.
#pragma once

#include <string>
#include <string_view>

namespace vibrolan {

// Returns the 1-based byte position of the first `c` in s, 0 when absent.
// When found, `before` receives the bytes before it and `after` the bytes
// after it; otherwise both stay untouched. Texts are UTF-8, so `c` should be
// an ASCII character (a separator such as '.' or ':').
int SplitAt(std::string_view s, std::string &before, std::string &after, char c);

} // namespace vibrolan
