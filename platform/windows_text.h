// UTF-8 and the system's 8-bit code page to Windows' UTF-16 and back, and the system's own text for
// an error code. On Windows the programs keep names as UTF-8 and hand the system UTF-16, so that a
// name in any script survives.
#ifndef VELMORA_PLATFORM_WINDOWS_TEXT_H
#define VELMORA_PLATFORM_WINDOWS_TEXT_H

#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text, std::size_t length);
std::string Utf8FromWide(const std::wstring& text);

// The system's 8-bit code page (the "ANSI" one), in which the module keeps
// paths, and UTF-16. AnsiFromWide is false when a character has no exact
// form in that code page: the system would put a look-alike or '?' in its
// place and name another file.
std::wstring WideFromAnsi(const std::string& text);
bool AnsiFromWide(const std::wstring& text, std::string* ansi);

// The system's message for an error code, in UTF-8, without its line end
// and final full stop; "Windows error N" when it has none.
std::string WindowsErrorText(unsigned long code);

#endif
