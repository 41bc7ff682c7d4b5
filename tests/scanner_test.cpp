#include "app/ArgumentText.h"
#include "app/NameScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const std::string TooLong = "<too long>";

std::vector<std::string> Names(const std::string& arguments)
{
    char CurrentFile[PathBufferSize + 8];
    std::memset(CurrentFile, 0x5A, sizeof CurrentFile);
    std::vector<std::string> names;
    auto& buffer = *reinterpret_cast<char(*)[PathBufferSize]>(CurrentFile);
    ScanNames(arguments.c_str(), buffer, [&](bool fits) {
        names.push_back(fits ? std::string(buffer) : TooLong);
        if (!fits)
        {
            EXPECT_EQ(buffer[0], '\0');
        }
    });
    for (std::size_t i = PathBufferSize; i < sizeof CurrentFile; ++i)
        EXPECT_EQ(CurrentFile[i], 0x5A) << "byte " << i << " past the buffer was written";
    return names;
}

struct ScanCase
{
    const char* Label;
    std::string Arguments;
    std::vector<std::string> Expected;
};

class Scanner : public testing::TestWithParam<ScanCase>
{
};

TEST_P(Scanner, YieldsTheNamesInOrder)
{
    EXPECT_EQ(Names(GetParam().Arguments), GetParam().Expected);
}

const std::string Long5199(5199, 'n');
const std::string Long5200(5200, 'n');

INSTANTIATE_TEST_SUITE_P(
    Cases, Scanner,
    testing::Values(
        ScanCase{"Empty", "", {}},
        ScanCase{"OnlyBlanks", "   ", {}},
        ScanCase{"OnePlainName", "a", {"a"}},
        ScanCase{"TrailingBlank", "a ", {"a"}},
        ScanCase{"RunsOfBlanks", "a   b", {"a", "b"}},
        ScanCase{"QuotedKeepsBlanks", "\" a \"", {" a "}},
        ScanCase{"QuotedBackToBack", "\"a\"\"b\"", {"a", "b"}},
        ScanCase{"QuotedThenPlain", "\"a b\"c", {"a b", "c"}},
        ScanCase{"EmptyQuotes", "\"\"", {""}},
        ScanCase{"QuoteEndsPlainName", "a\"b", {"a", "b"}},
        ScanCase{"QuoteInPlainOpensNothing", "a\"b c\"", {"a", "b", "c"}},
        ScanCase{"UnclosedQuoteRunsToEnd", "\"a b", {"a b"}},
        ScanCase{"LoneQuoteAtEnd", "a \"", {"a", ""}},
        ScanCase{"TabIsANameByte", "a\tb", {"a\tb"}},
        ScanCase{"SameNameTwice", "a a", {"a", "a"}},
        ScanCase{"PathsWithBlanks", "\"C:\\My Files\\a b.txt\" C:\\x.txt",
                 {"C:\\My Files\\a b.txt", "C:\\x.txt"}},
        ScanCase{"LongestNameFits", Long5199 + " b", {Long5199, "b"}},
        ScanCase{"TooLongIsRefusedAndScanGoesOn", Long5200 + " b", {TooLong, "b"}},
        ScanCase{"TooLongQuoted", "\"" + Long5200 + "x\" \"" + Long5199 + "\"", {TooLong, Long5199}}),
    [](const testing::TestParamInfo<ScanCase>& info) { return info.param.Label; });

// What is left of a command line once the program's own name and the blanks
// and control bytes after it are skipped. "\xC4" and "\xFC" stand for any
// byte above 127, which is never a separator.
struct LineCase
{
    const char* Label;
    std::string Line;
    std::string Arguments;
};

class ArgumentTextOf : public testing::TestWithParam<LineCase>
{
};

TEST_P(ArgumentTextOf, SkipsTheProgramNameOnly)
{
    EXPECT_EQ(ArgumentText(GetParam().Line.c_str()), GetParam().Arguments);
}

std::string AllControlBytes()
{
    std::string bytes;
    for (char c = 1; c <= ' '; ++c)
        bytes += c;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ArgumentTextOf,
    testing::Values(
        LineCase{"Empty", "", ""},
        LineCase{"ProgramOnly", "Grindlet.exe", ""},
        LineCase{"ProgramAndBlanks", "Grindlet.exe  \t ", ""},
        LineCase{"Unquoted", "C:\\Grindlet.exe a b", "a b"},
        LineCase{"Quoted", "\"C:\\Program Files\\Grindlet.exe\" a b", "a b"},
        LineCase{"QuotedThenNameAtOnce", "\"C:\\Grindlet.exe\"victim.txt", "victim.txt"},
        LineCase{"QuotedThenQuotedName", "\"G.exe\"\"a b\"", "\"a b\""},
        LineCase{"MissingClosingQuote", "\"C:\\Program Files\\Grindlet.exe a b", ""},
        LineCase{"EveryControlByteAfterName", "G.exe" + AllControlBytes() + "a", "a"},
        LineCase{"ControlByteEndsUnquotedName", "G.exe\x01" "a", "a"},
        LineCase{"TrailingBlanksKept", "G.exe a \t", "a \t"},
        LineCase{"HighByteInUnquotedProgram", "C:\\Z\xFCrich\\Grindlet.exe -kill", "-kill"},
        LineCase{"HighByteInQuotedProgram", "\"C:\\Z\xFCrich\\G.exe\" a", "a"},
        LineCase{"HighByteFirstInName", "G.exe \xC4rger.txt", "\xC4rger.txt"},
        LineCase{"HighBytesOnly", "\xC4\xFC \xFC\xC4", "\xFC\xC4"},
        LineCase{"BlankFirst", " a", "a"}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.Label; });

TEST(ArgumentTextOf, AbsentLineIsEmpty)
{
    EXPECT_STREQ(ArgumentText(nullptr), "");
}
} // namespace
