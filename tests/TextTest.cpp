// The fixed-size text helpers: cuts that keep characters beyond the basic plane whole, joins
// that refuse to produce a cut path.
#include "Scenario.h"

#include "common/SystemText.h"
#include "common/Text.h"

namespace {

class Text : public Scenario {};

TEST_F(Text, CopyCutsAtTheLimitAndSaysSo)
{
    WCHAR small[6];
    EXPECT_EQ(1, TextCopy(small, CountOf(small), u"abcde"));
    EXPECT_EQ(u"abcde", Wide(small));
    EXPECT_EQ(0, TextCopy(small, CountOf(small), u"abcdef"));
    EXPECT_EQ(u"abcde", Wide(small));
}

TEST_F(Text, CutNeverSplitsASurrogatePair)
{
    WCHAR small[4];
    // "a" + 😀 + 😀: the second 😀 would straddle the limit
    EXPECT_EQ(0, TextCopy(small, CountOf(small), u"a😀😀"));
    EXPECT_EQ(u"a😀", Wide(small));
    EXPECT_EQ(0, TextCopy(small, CountOf(small), u"ab😀"));
    EXPECT_EQ(u"ab", Wide(small));
    WCHAR area[3] = {'a', 0xD83D, 0xDE00};   // unterminated, the pair at its very end
    EXPECT_EQ(0, TextCopyFromArea(small, CountOf(small), area, 3));
    EXPECT_EQ(u"a\xD83D\xDE00", Wide(small)) << "the whole area fits";
    WCHAR two[2];
    EXPECT_EQ(0, TextCopyFromArea(two, CountOf(two), area + 1, 2));
    EXPECT_EQ(u"", Wide(two)) << "half a pair is no character";
}

TEST_F(Text, LoneSurrogateAtTheEndIsKept)
{
    WCHAR buffer[8];
    EXPECT_EQ(1, TextCopy(buffer, CountOf(buffer), u"ab\xD83D"));
    EXPECT_EQ(u"ab\xD83D", Wide(buffer));
}

TEST_F(Text, JoinThatDoesNotFitGivesTheEmptyText)
{
    WCHAR buffer[9];
    EXPECT_EQ(1, TextJoin(buffer, CountOf(buffer), u"C:\\", u"a.ini"));
    EXPECT_EQ(u"C:\\a.ini", Wide(buffer)) << "exactly 8 characters fit";
    EXPECT_EQ(0, TextJoin(buffer, CountOf(buffer), u"C:\\", u"ab.ini"));
    EXPECT_EQ(u"", Wide(buffer));
}

TEST_F(Text, JoinIntoTheFirstPartAppends)
{
    WCHAR buffer[16] = u"C:\\Tools\\";
    EXPECT_EQ(1, TextJoin(buffer, CountOf(buffer), buffer, u"x.exe"));
    EXPECT_EQ(u"C:\\Tools\\x.exe", Wide(buffer));
}

TEST_F(Text, AppendKeepsWhatFits)
{
    WCHAR buffer[8] = u"abc";
    EXPECT_EQ(1, TextAppend(buffer, CountOf(buffer), u"\r\n"));
    EXPECT_EQ(0, TextAppend(buffer, CountOf(buffer), u"xyz"));
    EXPECT_EQ(u"abc\r\nxy", Wide(buffer));
}

TEST_F(Text, KeysMatchWithoutRegardToCase)
{
    g_Run.UnicodeCalls = 1;
    EXPECT_EQ(1, TextStartsWithNoCase(u"@RESTORE=no", u"@restore"));
    EXPECT_EQ(0, TextStartsWithNoCase(u"@restor", u"@restore"));
    EXPECT_EQ(2, TextFindNoCase(u"x [EXEC]", u"[exec]"));
    EXPECT_EQ(-1, TextFindNoCase(u"x [exe]", u"[exec]"));
    EXPECT_EQ(3, TextFindNoCase(u"la CAFÉ", u"café")) << "accented letters have cases too";
    EXPECT_EQ(-1, TextFindNoCase(u"la CAFE", u"café")) << "an accent is not a case";
}

// Windows 98/ME compares in the ANSI code page. A character it cannot hold (from a settings file
// in UTF-8) equals only itself there: it neither fails every search nor matches every other
// such character.
TEST_F(Text, OnWindows98TextsOutsideTheCodePageMatchOnlyThemselves)
{
    world.SetWindows98();
    g_Run.UnicodeCalls = 0;
    EXPECT_EQ(1, TextStartsWithNoCase(u"@RESTORE=no", u"@restore"));
    EXPECT_EQ(2, TextFindNoCase(u"x [EXEC]", u"[exec]"));
    EXPECT_EQ(2, TextFindNoCase(u"x \xFF21\xFF22", u"\xFF41\xFF42")) << "full-width letters have cases";
    EXPECT_EQ(3, TextFindNoCase(u"/#e보기 /#e=보기", u"보기 ")) << "Hangul, as it stands";
    EXPECT_EQ(-1, TextFindNoCase(u"/#e=보기", u"한글")) << "not as another '?'";
    EXPECT_EQ(0, TextFindNoCase(u"😀 a", u"😀 A"));
    EXPECT_EQ(-1, TextFindNoCase(u"😀", u"😁"));
    EXPECT_EQ(0, CompareNoCaseN(u"보기X", u"보기x", 3));
    EXPECT_NE(0, CompareNoCaseN(u"보기", u"한글", 2));
    EXPECT_EQ(std::vector<std::string>{}, world.wideCallsOnWindows9x);
}

TEST_F(Text, DecimalAsPercentDWritesIt)
{
    WCHAR text[12];
    const std::pair<int, std::u16string> cases[] = {
        {0, u"0"}, {656578, u"656578"}, {-1, u"-1"}, {INT32_MIN, u"-2147483648"}};
    for (const auto& c : cases) {
        TextFromInt(text, c.first);
        EXPECT_EQ(c.second, Wide(text));
    }
}

}  // namespace
