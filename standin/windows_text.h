// UTF-8 and Windows' UTF-16, both ways, and the system's own text for an
// error code. On Windows the programs keep names as UTF-8 and hand the
// system UTF-16, so that a name in any script survives.
#ifndef VELMORA_STANDIN_WINDOWS_TEXT_H
#define VELMORA_STANDIN_WINDOWS_TEXT_H

#ifdef _WIN32

#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text, std::size_t length);
std::string Utf8FromWide(const std::wstring& text);

// The system's message for an error code, in UTF-8, without its line end
// and final full stop; "Windows error N" when it has none.
std::string WindowsErrorText(unsigned long code);

#endif

#endif
