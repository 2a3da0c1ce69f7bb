// Telling from a file's first bytes that it is not mail: rows of real
// formats' first bytes, and mail in the shapes it comes in.
#include "runner/inputs/mail_content.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ContentCase {
    const char* what;
    std::string head;
    bool fileEmpty;
    bool mail;
};

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

const std::string kNul(1, '\0');

const std::string kHeader = "Return-Path: <>\r\nSubject: Out of office\r\n\r\nAway.\r\n";
const std::string kBom = "\xEF\xBB\xBF";

const ContentCase kContentCases[] = {
    {"a message", kHeader, false, true},
    {"an mbox", "From MAILER-DAEMON Tue Dec  8 10:00:00 2026\nSubject: x\n\n", false, true},
    {"bare LF, 8-bit",
     "Subject: Gr\xFC\xDF"
     "e\n\n\xE4\n",
     false, true},
    {"a byte-order mark before mail", kBom + kHeader, false, true},
    {"a byte-order mark alone", kBom, false, false},
    {"blank lines before the header", "\n\r\n" + kHeader, false, true},
    {"a header with blanks before its colon", "Subject : old\n\n", false, true},
    {"an MMDF mailbox", "\x01\x01\x01\x01\nS: x\n", false, true},
    {"a stray NUL in a header", "Subject: odd" + kNul + "byte\n\n", false, true},
    {"a few NUL bytes in a body", kHeader + Repeat(kNul, 3) + Repeat("x", 200), false, true},
    {"a header named like a signature", "PK-Id: 1\nRar-Note: x\n\n", false, true},
    {"the first bytes of a signature only", "!BD: x\n", false, true},
    {"a header starting like bzip2", "BZh-Id: 91AY&SY\n\n", false, true},
    {"an empty file", "", true, false},
    {"a NUL first", kNul + kHeader, false, false},
    {"a NUL after a byte-order mark", kBom + kNul + kHeader, false, false},
    {"a program", "MZ\x90" + kNul + "\x03" + Repeat(kNul, 3) + Repeat("x", 100), false, false},
    {"NUL bytes throughout", kHeader + Repeat("1234567" + kNul, 512), false, false},
    {"an Outlook item", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + kHeader, false, false},
    {"an Outlook data file", "!BDN" + kHeader, false, false},
    {"a ZIP archive", "PK\x03\x04" + kHeader, false, false},
    {"a gzip file", "\x1F\x8B" + kHeader, false, false},
    {"a 7-Zip archive", "7z\xBC\xAF\x27\x1C" + kHeader, false, false},
    {"a RAR archive", "Rar!\x1A\x07" + kHeader, false, false},
    {"a PDF document", "%PDF-1.7\n" + kHeader, false, false},
    {"a PDF document after a byte-order mark", kBom + "%PDF-1.4\n", false, false},
    {"UTF-16 text with its mark",
     "\xFF\xFE"
     "S" +
         kNul + "u" + kNul,
     false, false},
    {"UTF-16 text without a mark", "S" + kNul + "u" + kNul + "b" + kNul, false, false},
    // Compressed mailboxes, whatever they are named.
    {"a bzip2 file", "BZh91AY&SY\x12\x34" + kHeader, false, false},
    {"an empty bzip2 stream", "BZh9\x17\x72\x45\x38\x50\x90" + Repeat(kNul, 4), false, false},
    {"an xz file",
     "\xFD"
     "7zXZ" +
         kNul + kHeader,
     false, false},
    {"a zstd file", "\x28\xB5\x2F\xFD" + kHeader, false, false},
    {"an lzip file", "LZIP\x01" + kHeader, false, false},
    {"a compress (.Z) file", "\x1F\x9D\x90" + kHeader, false, false},
    // Text that is not mail: its first line is no header field.
    {"a web page", "<!DOCTYPE html>\n<html><head><title>x: y</title>\n", false, false},
    {"an XML file", "<?xml version=\"1.0\"?>\n<folder/>\n", false, false},
    {"notes", "Meeting notes: Monday\nSubject: budget\n", false, false},
    {"a list of addresses", "name,email\nBob,bob@example.org\n", false, false},
    {"a report", "STARTUP returned 1\nDAEMON returned 1\nOutcome: rewritten\n", false, false},
    {"lines of a run on Windows", "C:\\mail\\1.eml\trewritten\n", false, false},
    {"a \"From \" line without a date", "From bob@example.org\nS: x\n\n", false, false},
    {"only blank lines", "\n\r\n\n", false, false},
    {"a header after a blank first line", " folded: x\nS: y\n", false, false},
};

TEST(NotMailReason, TellsMailFromWhatIsNot) {
    for (const ContentCase& c : kContentCases) {
        const char* reason = NotMailReason(c.head, c.fileEmpty);
        EXPECT_EQ(reason == nullptr, c.mail) << c.what << ": " << (reason ? reason : "mail");
    }
}

TEST(NotMailReason, SaysWhy) {
    EXPECT_STREQ(NotMailReason("", true), "empty (0 bytes)");
    EXPECT_STREQ(NotMailReason("!BDN", false), "an Outlook data file (.pst or .ost)");
    EXPECT_STREQ(NotMailReason("BZh91AY&SY\x01", false), "compressed (bzip2): unpack it first");
    EXPECT_STREQ(NotMailReason("\x1F\x8B\x08", false), "compressed (gzip): unpack it first");
    EXPECT_STREQ(NotMailReason("index\n", false),
                 "text whose first line is neither a header field (Name: value) nor a mailbox "
                 "separator");
}

} // namespace
