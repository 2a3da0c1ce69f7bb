// Reading UTF-8 as it is written when it is well-formed (RFC 3629): what
// the runner shows or names after text of others must tell such text from
// bytes that are not characters.
#ifndef VELMORA_PLATFORM_UTF8_CHARACTER_H
#define VELMORA_PLATFORM_UTF8_CHARACTER_H

#include <cstddef>
#include <cstdint>
#include <string>

// The length of the well-formed UTF-8 sequence of a character beyond ASCII
// at `at` (before text.size()), with its code point; 0 when none starts
// there: an ASCII byte, a byte that cannot start one, an overlong form, a
// surrogate, a code point past U+10FFFF, or a sequence cut short.
std::size_t Utf8CharacterAt(const std::string& text, std::size_t at, std::uint32_t* codePoint);

#endif
