#include <gtest/gtest.h>
#include <climits>
#include <cstdio>
#include "platform/text.h"

TEST(Text, CopyAndAppendCutAtTheBufferAndTerminate)
{
    char b[8];
    EXPECT_EQ(TextCopy(b, sizeof b, "0123456789"), 7u);
    EXPECT_STREQ(b, "0123456");
    EXPECT_EQ(TextCopy(b, sizeof b, "ab"), 2u);
    EXPECT_EQ(TextAppend(b, sizeof b, "cdefghij"), 7u);
    EXPECT_STREQ(b, "abcdefg");
    EXPECT_EQ(TextAppend(b, sizeof b, "x"), 7u);
    EXPECT_STREQ(b, "abcdefg");
    EXPECT_EQ(TextCopyCount(b, sizeof b, "abcdef", 3), 3u);
    EXPECT_STREQ(b, "abc");
    EXPECT_EQ(TextCopy(b, 1, "abc"), 0u);
    EXPECT_STREQ(b, "");
}

TEST(Text, ComparisonsIgnoreAsciiCaseOnly)
{
    EXPECT_TRUE(TextEqualNoCase("Ok/Cancel", "OK/CANCEL"));
    EXPECT_FALSE(TextEqualNoCase("OK", "OK/Cancel"));
    EXPECT_LT(TextCompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(TextCompareNoCase("b", "A"), 0);
    EXPECT_TRUE(TextStartsWithNoCase("Notepad - x", "NOTE", 4));
    EXPECT_FALSE(TextStartsWithNoCase("No", "NOTE", 4));
    EXPECT_TRUE(TextEqual("a", "a"));
    EXPECT_FALSE(TextEqual("a", "A"));
}

TEST(Text, DecimalConversionFollowsTheUsualRules)
{
    EXPECT_EQ(TextToLong("  42abc"), 42);
    EXPECT_EQ(TextToLong("-5"), -5);
    EXPECT_EQ(TextToLong("+7"), 7);
    EXPECT_EQ(TextToLong("x1"), 0);
    EXPECT_EQ(TextToLong(""), 0);
    EXPECT_EQ(TextToLong("\t 12348"), 12348);
}

TEST(Text, FormatterKeepsWsprintfConventionsAndTheBufferSize)
{
    char b[64];
    FormatText(b, sizeof b, "%s=%s", "Key", "Value");
    EXPECT_STREQ(b, "Key=Value");
    FormatText(b, sizeof b, "Drive %c: %luK of %uK, %d%%", 'C', 512ul, 7u, -3);
    EXPECT_STREQ(b, "Drive C: 512K of 7K, -3%");
    FormatText(b, sizeof b, "%x %X %s", 255u, 255u, (const char*)nullptr);
    EXPECT_STREQ(b, "ff FF (null)");
    char small[6];
    EXPECT_EQ(FormatText(small, sizeof small, "%s", "overflowing"), 5u);
    EXPECT_STREQ(small, "overf");
    // Every digit of the platform's widest long (20 of them on 64-bit hosts).
    char wide[64];
    snprintf(wide, sizeof wide, "%lu %ld", ~0ul, LONG_MIN);
    FormatText(b, sizeof b, "%lu %ld", ~0ul, LONG_MIN);
    EXPECT_STREQ(b, wide);
    // A format argument is never interpreted as a format itself.
    FormatText(b, sizeof b, "[%s]", "100%s%u");
    EXPECT_STREQ(b, "[100%s%u]");
}
