// The fixed-size text helpers: cuts that keep two-byte characters whole, joins that refuse
// to produce a cut path.
#include "Scenario.h"

#include "common/Text.h"

namespace {

class Text : public Scenario {};

TEST_F(Text, CopyCutsAtTheLimitAndSaysSo)
{
    char small[6];
    EXPECT_EQ(1, TextCopy(small, sizeof small, "abcde"));
    EXPECT_STREQ("abcde", small);
    EXPECT_EQ(0, TextCopy(small, sizeof small, "abcdef"));
    EXPECT_STREQ("abcde", small);
}

TEST_F(Text, CutNeverSplitsATwoByteCharacter)
{
    char small[4];
    // "a" + 表 + 表: the second 表 would straddle the limit
    EXPECT_EQ(0, TextCopy(small, sizeof small, "a\x95\x5C\x95\x5C"));
    EXPECT_STREQ("a\x95\x5C", small);
    EXPECT_EQ(0, TextCopy(small, sizeof small, "ab\x95\x5C"));
    EXPECT_STREQ("ab", small);
}

TEST_F(Text, LoneLeadByteAtTheEndIsKept)
{
    char buffer[8];
    EXPECT_EQ(1, TextCopy(buffer, sizeof buffer, "ab\x95"));
    EXPECT_STREQ("ab\x95", buffer);
}

TEST_F(Text, JoinThatDoesNotFitGivesTheEmptyText)
{
    char buffer[9];
    EXPECT_EQ(1, TextJoin(buffer, sizeof buffer, "C:\\", "a.ini"));
    EXPECT_STREQ("C:\\a.ini", buffer) << "exactly 8 characters fit";
    EXPECT_EQ(0, TextJoin(buffer, sizeof buffer, "C:\\", "ab.ini"));
    EXPECT_STREQ("", buffer);
}

TEST_F(Text, JoinIntoTheFirstPartAppends)
{
    char buffer[16] = "C:\\Tools\\";
    EXPECT_EQ(1, TextJoin(buffer, sizeof buffer, buffer, "x.exe"));
    EXPECT_STREQ("C:\\Tools\\x.exe", buffer);
}

TEST_F(Text, AppendKeepsWhatFits)
{
    char buffer[8] = "abc";
    EXPECT_EQ(1, TextAppend(buffer, sizeof buffer, "\r\n"));
    EXPECT_EQ(0, TextAppend(buffer, sizeof buffer, "xyz"));
    EXPECT_STREQ("abc\r\nxy", buffer);
}

TEST_F(Text, KeysMatchWithoutRegardToCase)
{
    EXPECT_EQ(1, TextStartsWithNoCase("@RESTORE=no", "@restore"));
    EXPECT_EQ(0, TextStartsWithNoCase("@restor", "@restore"));
    EXPECT_EQ(2, TextFindNoCase("x [EXEC]", "[exec]"));
    EXPECT_EQ(-1, TextFindNoCase("x [exe]", "[exec]"));
}

}  // namespace
