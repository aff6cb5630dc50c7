// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// Trims Unicode white space and line breaks (spaces, tabs, newlines, no-break and other
// separator spaces) from both ends of UTF-8 text.
std::string_view trimmedWhitespace(std::string_view text);

// The value of one hexadecimal digit in either letter case, or -1.
int hexDigitValue(char c);

// True when the text is nothing but white space and line breaks.
bool isBlank(std::string_view text);

// Removes percent-encoding; none when an escape is malformed or the result is not UTF-8.
std::optional<std::string> removingPercentEncoding(std::string_view text);

// Removes well-formed percent escapes and keeps everything else as it stands.
std::string lenientPercentDecoded(std::string_view text);

bool isValidUTF8(std::string_view text);

// Decodes the UTF-8 sequence that starts at text[index]; returns its length in bytes, or 0 when
// it is malformed (codePoint is then meaningless).
std::size_t decodeUTF8(std::string_view text, std::size_t index, char32_t& codePoint);

// White space and line breaks as trimmedWhitespace understands them.
bool isWhitespaceOrNewline(char32_t codePoint);

std::string asciiLowercased(std::string_view text);

// The text cut after its first `maxCharacters` characters (code points; a malformed byte counts
// as one), never inside a character.
std::string_view prefixOfCharacters(std::string_view text, std::size_t maxCharacters);

// The longest a title or a name is kept, in characters. Whatever hands one over (a page, an M3U
// file, a stored library or history, a rename) has it cut to this on the way in, so that no text
// costs the window more than one line to lay out and store.
inline constexpr std::size_t kLongestTitle = 1024;
// The longest note kept on a video of the watch history.
inline constexpr std::size_t kLongestNote = 16 * 1024;

// The text cut to at most `maxCharacters` characters, in place.
void cutToCharacters(std::string& text, std::size_t maxCharacters);

}  // namespace orvel
