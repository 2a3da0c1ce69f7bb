// The runner's command line: options wherever they stand, paths after
// "--", and a one-line error that names what is wrong.
#include "platform/command_line.h"
#include "runner/cli/run_options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ParseCase {
    const char* name;
    std::vector<const char*> args; // without the program name
    ParseOutcome outcome;
    const char* error;              // expected error text, for kError
    std::vector<std::string> paths; // expected paths, for kRun
};

const ParseCase kParseCases[] = {
    {"no_arguments", {}, ParseOutcome::kRun, "", {}},
    {"unknown_option_alone",
     {"--bogus"},
     ParseOutcome::kError,
     "unknown option --bogus (see --help)",
     {}},
    {"unknown_option_after_a_path",
     {"mail", "--bogus"},
     ParseOutcome::kError,
     "unknown option --bogus (see --help)",
     {}},
    {"unknown_short_option",
     {"-x", "mail"},
     ParseOutcome::kError,
     "unknown option -x (see --help)",
     {}},
    {"value_missing_at_the_end",
     {"mail", "--save-to"},
     ParseOutcome::kError,
     "option --save-to needs a value",
     {}},
    {"bad_version",
     {"--host-version", "2.x"},
     ParseOutcome::kError,
     "--host-version wants MAJOR.MINOR with numbers from 0 to 255, got 2.x",
     {}},
    {"version_above_a_byte",
     {"--host-version", "2.256"},
     ParseOutcome::kError,
     "--host-version wants MAJOR.MINOR with numbers from 0 to 255, got 2.256",
     {}},
    {"help_wins_over_later_errors", {"--help", "--bogus"}, ParseOutcome::kHelp, "", {}},
    {"paths_around_options",
     {"a", "--rcpt", "x@example.net", "b", "--lines", "c"},
     ParseOutcome::kRun,
     "",
     {"a", "b", "c"}},
    {"value_that_looks_like_an_option",
     {"--envelope-sender", "-odd-", "a"},
     ParseOutcome::kRun,
     "",
     {"a"}},
    {"double_dash_ends_options",
     {"a", "--", "--bogus", "-"},
     ParseOutcome::kRun,
     "",
     {"a", "--bogus", "-"}},
    {"single_dash_is_a_path", {"-"}, ParseOutcome::kRun, "", {"-"}},
    {"value_after_equals", {"--save-to=saved", "a", "--rcpt=x@y.z"}, ParseOutcome::kRun, "", {"a"}},
    // An empty value is a slip (an unset variable), never "off".
    {"empty_value_after_equals",
     {"--envelope-sender=", "a"},
     ParseOutcome::kError,
     "option --envelope-sender needs a value, got an empty one",
     {}},
    {"empty_folder_after_equals",
     {"a", "--save-to="},
     ParseOutcome::kError,
     "option --save-to needs a value, got an empty one",
     {}},
    {"empty_folder_as_next_argument",
     {"--save-to", "", "a"},
     ParseOutcome::kError,
     "option --save-to needs a value, got an empty one",
     {}},
    {"empty_report",
     {"--report=", "a"},
     ParseOutcome::kError,
     "option --report needs a value, got an empty one",
     {}},
    {"empty_module",
     {"--module", ""},
     ParseOutcome::kError,
     "option --module needs a value, got an empty one",
     {}},
    {"bad_value_after_equals",
     {"--host-version=2"},
     ParseOutcome::kError,
     "--host-version wants MAJOR.MINOR with numbers from 0 to 255, got 2",
     {}},
    {"flag_with_a_value",
     {"--lines=yes"},
     ParseOutcome::kError,
     "unknown option --lines=yes (see --help)",
     {}},
    {"max_size_with_a_unit", {"--max-size", "2m", "a"}, ParseOutcome::kRun, "", {"a"}},
    {"max_size_zero",
     {"--max-size", "0"},
     ParseOutcome::kError,
     "--max-size wants a size of at least 1 byte, in bytes or with K, M or G (64M), got 0",
     {}},
    {"max_size_unknown_unit",
     {"--max-size=5T"},
     ParseOutcome::kError,
     "--max-size wants a size of at least 1 byte, in bytes or with K, M or G (64M), got 5T",
     {}},
    {"max_size_too_big",
     {"--max-size", "17179869184G"},
     ParseOutcome::kError,
     "--max-size wants a size of at least 1 byte, in bytes or with K, M or G (64M), got "
     "17179869184G",
     {}},
    {"version", {"a", "--version"}, ParseOutcome::kVersion, "", {}},
    // The module to check may follow --version.
    {"version_then_module", {"--version", "--module", "m.dll"}, ParseOutcome::kVersion, "", {}},
    {"help_wins_over_version", {"--version", "--help"}, ParseOutcome::kHelp, "", {}},
    // The names of old, dropped options are unknown, not taken as paths.
    {"old_out", {"--out", "saved"}, ParseOutcome::kError, "unknown option --out (see --help)", {}},
    {"old_use_return_path",
     {"--use-return-path"},
     ParseOutcome::kError,
     "unknown option --use-return-path (see --help)",
     {}},
#ifdef _WIN32
    {"slash_question_is_help", {"/?"}, ParseOutcome::kHelp, "", {}},
#else
    {"slash_question_is_a_path", {"/?"}, ParseOutcome::kRun, "", {"/?"}},
#endif
};

// Names the case in test listings, instead of its bytes.
void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << c.name;
}

class ParseRunOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRunOptionsTest, GivesOutcomeErrorAndPaths) {
    const ParseCase& c = GetParam();
    const std::vector<std::string> args(c.args.begin(), c.args.end());
    RunOptions options;
    std::string error;

    const ParseOutcome outcome = ParseRunOptions(args, &options, &error);

    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(error, c.error);
    if (c.outcome == ParseOutcome::kRun) {
        EXPECT_EQ(options.paths, c.paths);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseRunOptionsTest, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(ParseRunOptions, EveryOptionReachesItsSetting) {
    const std::vector<std::string> args = {"--module",
                                           "m.dll",
                                           "--envelope-sender",
                                           "bob@example.org",
                                           "--no-return-path",
                                           "--rcpt",
                                           "a@example.net",
                                           "--rcpt=b@example.net",
                                           "--sender",
                                           "relay@example.org",
                                           "--domain=mx.example.org",
                                           "--host-version",
                                           "3.7",
                                           "--report",
                                           "report.txt",
                                           "--save-to",
                                           "saved",
                                           "--max-size=3K",
                                           "--lines"};
    RunOptions options;
    std::string error;

    ASSERT_EQ(ParseRunOptions(args, &options, &error), ParseOutcome::kRun);

    EXPECT_EQ(options.modulePath, "m.dll");
    EXPECT_EQ(options.job.envelopeSender, "bob@example.org");
    EXPECT_FALSE(options.job.senderFromMessage);
    EXPECT_EQ(options.job.recipients, (std::vector<std::string>{"a@example.net", "b@example.net"}));
    EXPECT_EQ(options.job.configuredSender, "relay@example.org");
    EXPECT_EQ(options.server.domain, "mx.example.org");
    EXPECT_EQ(options.server.majorVersion, 3);
    EXPECT_EQ(options.server.minorVersion, 7);
    EXPECT_EQ(options.reportFile, "report.txt");
    EXPECT_EQ(options.saveFolder, "saved");
    EXPECT_EQ(options.maxSize, 3u * 1024);
    EXPECT_TRUE(options.lines);
    EXPECT_TRUE(options.paths.empty());
}

// An empty --domain is a server without a domain setting, in both spellings,
// not the slip an empty value is for the other options.
TEST(ParseRunOptions, AnEmptyDomainIsAServerWithoutOne) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--domain", ""}, std::vector<std::string>{"--domain="}}) {
        RunOptions options;
        std::string error;
        ASSERT_EQ(ParseRunOptions(args, &options, &error), ParseOutcome::kRun) << error;
        EXPECT_EQ(options.server.domain, "");
    }
}

// Senders come from the messages unless told otherwise.
TEST(ParseRunOptions, SendersFromTheMessagesByDefault) {
    RunOptions options;
    std::string error;
    ASSERT_EQ(ParseRunOptions({}, &options, &error), ParseOutcome::kRun);
    EXPECT_TRUE(options.job.senderFromMessage);
}

// Sizes in bytes or in units of 1024; what --max-size shows reads back.
TEST(MessageSize, ReadsUnitsAndShowsTheLargestThatDivides) {
    const std::pair<const char*, std::uint64_t> sizes[] = {
        {"1", 1},
        {"1500", 1500},
        {"1K", 1024},
        {"1536k", 1536 * 1024},
        {"64M", std::uint64_t{64} << 20},
        {"2G", std::uint64_t{2} << 30},
        {"18446744073709551615", kNoMessageSizeLimit},
        {"17179869183G", std::uint64_t{17179869183} << 30},
    };
    for (const auto& [text, bytes] : sizes) {
        std::uint64_t parsed = 0;
        EXPECT_TRUE(ParseMessageSize(text, &parsed)) << text;
        EXPECT_EQ(parsed, bytes) << text;
        EXPECT_TRUE(ParseMessageSize(MessageSizeText(bytes), &parsed)) << text;
        EXPECT_EQ(parsed, bytes) << text;
    }
    EXPECT_EQ(MessageSizeText(std::uint64_t{64} << 20), "64M");
    EXPECT_EQ(MessageSizeText(1536 * 1024), "1536K");
    EXPECT_EQ(MessageSizeText(1000), "1000");
    for (const char* bad : {"", "0", "0K", "K", "-1", "+1", " 1", "1 ", "1KB", "1.5M", "1T",
                            "18446744073709551616", "17179869184G"}) {
        std::uint64_t parsed = 7;
        EXPECT_FALSE(ParseMessageSize(bad, &parsed)) << bad;
        EXPECT_EQ(parsed, 7u) << bad;
    }
}

// The default limit is the one defined, and --help says which it is.
TEST(MessageSize, DefaultInTheOptionsAndInHelp) {
    EXPECT_EQ(RunOptions().maxSize, kDefaultMaxMessageSize);
    EXPECT_LE(kDefaultMaxMessageSize, std::uint64_t{100} << 20);
    std::string usage = RunUsage("velmora-run");
    // As one line: --help wraps its words.
    for (std::size_t lf = usage.find('\n'); lf != std::string::npos; lf = usage.find('\n', lf)) {
        const std::size_t text = usage.find_first_not_of(' ', lf + 1);
        usage.replace(lf, text == std::string::npos ? usage.size() - lf : text - lf, " ");
    }
    EXPECT_NE(usage.find("too-large and is not read (default: " +
                         MessageSizeText(kDefaultMaxMessageSize) + ")"),
              std::string::npos)
        << usage;
}

// An abbreviation must never be taken for another option: no name that
// --help lists is the start of another, and each is taken as an option.
TEST(RunOptionTable, NoNameStartsAnotherAndEachIsKnown) {
    const std::string usage = RunUsage("velmora-run");
    std::vector<std::string> names;
    const std::string lead = "\n  --";
    for (std::size_t at = usage.find(lead); at != std::string::npos;
         at = usage.find(lead, at + 1)) {
        const std::size_t start = at + 3;
        const std::size_t end = usage.find_first_of(" \n", start);
        if (end > start + 2) { // "--" alone ends the options
            names.push_back(usage.substr(start, end - start));
        }
    }
    ASSERT_GE(names.size(), 10u) << usage;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        for (const std::string& other : names) {
            if (&name != &other) {
                EXPECT_NE(other.rfind(name, 0), 0u) << other;
            }
        }
        RunOptions options;
        std::string error;
        ParseRunOptions({name, "x"}, &options, &error);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << error;
    }
}

// The help fits an 80-column console and names every outcome.
TEST(RunOptionTable, UsageFitsEightyColumnsAndNamesEveryOutcome) {
    const std::string usage = RunUsage("velmora-run");
    std::size_t start = 0;
    while (start < usage.size()) {
        const std::size_t end = usage.find('\n', start);
        EXPECT_LE(end - start, 79u) << usage.substr(start, end - start);
        start = end + 1;
    }
    for (std::size_t i = 0; i < kJobOutcomeCount; ++i) {
        EXPECT_NE(usage.find(std::string("\n  ") + OutcomeName(static_cast<JobOutcome>(i)) + " "),
                  std::string::npos);
    }
}

// The help's columns are filled: a line breaks only where its next word
// would have gone past the help's width.
TEST(RunOptionTable, UsageBreaksOnlyWhereTheNextWordWouldNotFit) {
    constexpr std::size_t kHelpWidth = 76;   // what the help fills
    constexpr std::size_t kLeastIndent = 15; // the outcomes' column, the narrower
    const std::string usage = RunUsage("velmora-run");
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < usage.size();) {
        const std::size_t end = usage.find('\n', start);
        lines.push_back(usage.substr(start, end - start));
        start = end == std::string::npos ? usage.size() : end + 1;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& before = lines[i - 1];
        const std::string& line = lines[i];
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || indent < kLeastIndent || before.size() <= indent) {
            continue; // not the text of an option or outcome carried on
        }
        const std::size_t word = line.find(' ', indent);
        const std::size_t length = (word == std::string::npos ? line.size() : word) - indent;
        EXPECT_GT(before.size() + 1 + length, kHelpWidth) << before << "\n" << line;
    }
}

// A Windows command line split as the C runtime splits it: the examples
// Microsoft gives, names with spaces, and the program's own name.
TEST(SplitCommandLine, FollowsTheRuntimesRules) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"run \"abc\" d e", {"run", "abc", "d", "e"}},
        {"run a\\\\b d\"e f\"g h", {"run", "a\\\\b", "de fg", "h"}},
        {"run a\\\\\\\"b c d", {"run", "a\\\"b", "c", "d"}},
        {"run a\\\\\\\\\"b c\" d e", {"run", "a\\\\b c", "d", "e"}},
        {"run a\"b\"\" c d", {"run", "ab\" c d"}},
        {"\"C:\\Program Files\\velmora-run.exe\" \"C:\\Mail Store\\\" --lines",
         // A folder's closing backslash escapes the quote, as on Windows.
         {"C:\\Program Files\\velmora-run.exe", "C:\\Mail Store\" --lines"}},
        {"C:\\velmora\\velmora-run.exe  \t \"\"  x", {"C:\\velmora\\velmora-run.exe", "", "x"}},
        {"run C:\\Mail\\Пример.eml", {"run", "C:\\Mail\\Пример.eml"}},
        {"run", {"run"}},
    };
    for (const auto& [line, args] : cases) {
        EXPECT_EQ(SplitCommandLine(line), args) << line;
    }
}

} // namespace
