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
} // namespace
