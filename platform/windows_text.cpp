// UTF-8 and UTF-16 on Windows; see windows_text.h.
#include "platform/windows_text.h"

#include <windows.h>

namespace {

// `text` in the code page `codePage`, as UTF-16; empty when it is not.
std::wstring WideFrom(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

} // namespace

std::wstring WideFromUtf8(const std::string& text) {
    return WideFrom(CP_UTF8, text);
}

std::string Utf8FromWide(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return std::string();
    }
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::string Utf8FromWide(const std::wstring& text) {
    return Utf8FromWide(text.data(), text.size());
}

std::wstring WideFromAnsi(const std::string& text) {
    return WideFrom(CP_ACP, text);
}

bool AnsiFromWide(const std::wstring& text, std::string* ansi) {
    ansi->clear();
    if (text.empty()) {
        return true;
    }
    const int size = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                          0, nullptr, &lossy);
    if (bytes <= 0 || lossy) {
        return false;
    }
    ansi->assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, &(*ansi)[0], bytes,
                        nullptr, &lossy);
    return !lossy;
}

std::string WindowsErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = length > 0 ? Utf8FromWide(text, length) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "Windows error " + std::to_string(code) : result;
}
