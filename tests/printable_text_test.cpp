// What the runner prints of names and message lines: control bytes, bytes
// that are not UTF-8 and characters a terminal obeys or hides are shown
// as escapes; everything else, other scripts included, as it is.
#include "platform/system.h"
#include "runner/output/printable_text.h"

#include <gtest/gtest.h>

namespace {

struct PrintableCase {
    const char* text;
    const char* name; // as PrintableName shows it (POSIX: backslashes doubled)
    const char* line; // as PrintableLine shows it
};

const PrintableCase kPrintableCases[] = {
    {"plain.eml", "plain.eml", "plain.eml"},
    {"Grüße 日本 😀", "Grüße 日本 😀", "Grüße 日本 😀"},
    {"a\tb\x1B[8m\x07", "a\\tb\\x1B[8m\\x07", "a\tb\\x1B[8m\\x07"},
    {"del\x7F", "del\\x7F", "del\\x7F"},
    // 0x9B alone is CSI on an 8-bit terminal; U+009B is CSI in UTF-8.
    {"x\x9B"
     "31m",
     "x\\x9B31m", "x\\x9B31m"},
    {"x\xC2\x9B"
     "31m\xC2\x85",
     "x\\u009B31m\\u0085", "x\\u009B31m\\u0085"},
    {"\xC2\xA0nbsp \xC2\x7F", "\xC2\xA0nbsp \\xC2\\x7F", "\xC2\xA0nbsp \\xC2\\x7F"},
    // Bidirectional overrides, marks and isolates; zero-width characters;
    // line and paragraph separators.
    {"invoice\xE2\x80\xAEgpj.exe", "invoice\\u202Egpj.exe", "invoice\\u202Egpj.exe"},
    {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", "\\u202A\\u202B\\u202C\\u202D",
     "\\u202A\\u202B\\u202C\\u202D"},
    {"\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066\\u2067\\u2068\\u2069",
     "\\u2066\\u2067\\u2068\\u2069"},
    {"a\xE2\x80\x8B\xE2\x80\x8C\xE2\x80\x8D\xE2\x80\x8E\xE2\x80\x8Fz",
     "a\\u200B\\u200C\\u200D\\u200E\\u200Fz", "a\\u200B\\u200C\\u200D\\u200E\\u200Fz"},
    {"\xE2\x80\xA8\xE2\x80\xA9\xD8\x9C\xE2\x81\xA0\xEF\xBB\xBF",
     "\\u2028\\u2029\\u061C\\u2060\\uFEFF", "\\u2028\\u2029\\u061C\\u2060\\uFEFF"},
    // Next to them, but shown: en dash, narrow no-break space, U+2065.
    {"\xE2\x80\x93\xE2\x80\xAF\xE2\x81\xA5", "\xE2\x80\x93\xE2\x80\xAF\xE2\x81\xA5",
     "\xE2\x80\x93\xE2\x80\xAF\xE2\x81\xA5"},
    // Not UTF-8: Latin-1, overlong forms, surrogates, past U+10FFFF, cut
    // short; each byte on its own.
    {"caf\xE9", "caf\\xE9", "caf\\xE9"},
    {"\xC0\xAF\xE0\x80\xAF", "\\xC0\\xAF\\xE0\\x80\\xAF", "\\xC0\\xAF\\xE0\\x80\\xAF"},
    {"\xED\xA0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80"},
    {"\xF4\x90\x80\x80\xF8", "\\xF4\\x90\\x80\\x80\\xF8", "\\xF4\\x90\\x80\\x80\\xF8"},
    {"\xE2\x80", "\\xE2\\x80", "\\xE2\\x80"},
    {"\xF0\x9F\x98", "\\xF0\\x9F\\x98", "\\xF0\\x9F\\x98"},
};

TEST(PrintableText, EscapesWhatATerminalWouldObeyOrHide) {
    for (const PrintableCase& c : kPrintableCases) {
        std::string name = c.name;
        if (PathSeparator() == '\\') {
            // Windows keeps a name's backslashes: they separate its parts.
            for (std::size_t at = name.find("\\\\"); at != std::string::npos;
                 at = name.find("\\\\", at + 1)) {
                name.erase(at, 1);
            }
        }
        EXPECT_EQ(PrintableName(c.text), name) << c.text;
        EXPECT_EQ(PrintableLine(c.text), c.line) << c.text;
    }
}

// A line keeps its own end, and a tab; inside it, CR and LF are escaped.
TEST(PrintableText, LineKeepsItsEnd) {
    EXPECT_EQ(PrintableLine("Subject: a\rb\xE2\x80\xAE\r\n"), "Subject: a\\rb\\u202E\r\n");
    EXPECT_EQ(PrintableLine("a\nb\n"), "a\\nb\n");
    EXPECT_EQ(PrintableName("a\\b\r\n"), PathSeparator() == '\\' ? "a\\b\\r\\n" : "a\\\\b\\r\\n");
}

} // namespace
