#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "TestEffect.h"
#include "framework/plugin/ByteChunk.h"

namespace {

using testfx::Bytes;
using Vec = std::vector<uint8_t>;

void PutInt(ByteChunk& c, int32_t v) {
    c.Put(&v);
}

TEST(ByteChunk, PutAndGetNativeLittleEndian) {
    ByteChunk c;
    EXPECT_EQ(c.Size(), 0);
    EXPECT_EQ(c.GetBytes(), nullptr);
    int32_t i = 0x01020304;
    EXPECT_EQ(c.Put(&i), 4);
    double d = 0.75;
    EXPECT_EQ(c.Put(&d), 12);
    uint8_t b = 0xAB;
    EXPECT_EQ(c.Put(&b), 13);
    Vec expected = {0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xE8, 0x3F, 0xAB};
    EXPECT_EQ(Bytes(c), expected);

    int32_t i2 = 0;
    double d2 = 0;
    uint8_t b2 = 0;
    int pos = c.Get(&i2, 0);
    EXPECT_EQ(pos, 4);
    pos = c.Get(&d2, pos);
    EXPECT_EQ(pos, 12);
    pos = c.Get(&b2, pos);
    EXPECT_EQ(pos, 13);
    EXPECT_EQ(i2, 0x01020304);
    EXPECT_EQ(d2, 0.75);
    EXPECT_EQ(b2, 0xAB);
}

TEST(ByteChunk, FailedReadsLeaveTheDestinationAndStayFailed) {
    ByteChunk c;
    PutInt(c, 7);
    double d = 1.5;
    EXPECT_EQ(c.Get(&d, 0), -1); // 8 bytes do not fit in 4
    EXPECT_EQ(d, 1.5);
    int32_t i = 99;
    EXPECT_EQ(c.Get(&i, 1), -1);
    EXPECT_EQ(c.Get(&i, -1), -1);
    EXPECT_EQ(c.Get(&i, INT_MAX), -1);
    EXPECT_EQ(c.Get(&i, INT_MAX - 2), -1);
    EXPECT_EQ(c.Get(&i, INT_MIN), -1);
    EXPECT_EQ(i, 99);
    EXPECT_EQ(c.Get(&i, 0), 4);
    EXPECT_EQ(c.Get(&i, 4), -1); // exactly at the end
    char raw[4];
    EXPECT_EQ(c.GetBytes(raw, -1, 0), -1);
    EXPECT_EQ(c.GetBytes(raw, INT_MAX, 1), -1);
}

TEST(ByteChunk, StringsAreLengthPrefixedWithoutTerminator) {
    ByteChunk c;
    EXPECT_EQ(c.PutStr("abc"), 7);
    EXPECT_EQ(c.PutStr(""), 11);
    EXPECT_EQ(c.PutStr(nullptr), 15);
    Vec expected = {3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(c), expected);

    Util_String s("previous");
    EXPECT_EQ(c.GetStr(&s, 0), 7);
    EXPECT_STREQ(s.Get(), "abc");
    // A stored empty string reads as empty, not as the previous text.
    EXPECT_EQ(c.GetStr(&s, 7), 11);
    EXPECT_STREQ(s.Get(), "");
}

TEST(ByteChunk, GetStrCutsAtNulAndRejectsBadLengths) {
    ByteChunk c;
    PutInt(c, 4);
    c.PutBytes("ab\0d", 4);
    Util_String s;
    EXPECT_EQ(c.GetStr(&s, 0), 8);
    EXPECT_STREQ(s.Get(), "ab");

    const int32_t badLengths[] = {-1, INT_MIN, INT_MAX, INT_MAX - 3, INT_MAX - 4, 5};
    for (int32_t len : badLengths) {
        ByteChunk bad;
        PutInt(bad, len);
        bad.PutBytes("wxyz", 4);
        Util_String t("keep");
        EXPECT_EQ(bad.GetStr(&t, 0), -1) << len;
        EXPECT_STREQ(t.Get(), "keep");
        // The same length behind other data, where pos + 4 + len would overflow an int.
        ByteChunk later;
        PutInt(later, 0);
        PutInt(later, len);
        later.PutBytes("wxyz", 4);
        EXPECT_EQ(later.GetStr(&t, 4), -1) << len;
        EXPECT_STREQ(t.Get(), "keep");
    }
    EXPECT_EQ(c.GetStr(&s, -1), -1);
    EXPECT_EQ(c.GetStr(&s, 6), -1); // length cut short
}

TEST(ByteChunk, BigEndianWords) {
    ByteChunk c;
    int32_t magic = 0x43636E4B; // "CcnK"
    float one = 1.0f;
    c.PutBE(&magic);
    c.PutBE(&one);
    Vec expected = {0x43, 0x63, 0x6E, 0x4B, 0x3F, 0x80, 0x00, 0x00};
    EXPECT_EQ(Bytes(c), expected);
    int32_t m2 = 0;
    float f2 = 0;
    EXPECT_EQ(c.GetBE(&m2, 0), 4);
    EXPECT_EQ(c.GetBE(&f2, 4), 8);
    EXPECT_EQ(m2, magic);
    EXPECT_EQ(f2, 1.0f);
    EXPECT_EQ(c.GetBE(&m2, 5), -1);
    EXPECT_EQ(m2, magic);
}

TEST(ByteChunk, ChunksResizeAndCompare) {
    ByteChunk a, b;
    a.PutBytes("xyz", 3);
    EXPECT_EQ(a.PutBytes(nullptr, 5), 3);
    EXPECT_EQ(a.PutBytes("q", 0), 3);
    EXPECT_EQ(b.PutChunk(&a), 3);
    EXPECT_TRUE(a.IsEqual(b));
    EXPECT_EQ(a.PutChunk(&a), 6);
    EXPECT_EQ(Bytes(a), (Vec{'x', 'y', 'z', 'x', 'y', 'z'}));
    EXPECT_FALSE(a.IsEqual(b));
    EXPECT_EQ(b.PutChunk(nullptr), 3);
    EXPECT_EQ(b.Resize(5), 5);
    EXPECT_EQ(Bytes(b), (Vec{'x', 'y', 'z', 0, 0}));
    EXPECT_EQ(b.Resize(-3), 0);
    EXPECT_EQ(b.GetBytes(), nullptr);
    a.Clear();
    EXPECT_TRUE(a.IsEqual(b));
    // Growing far past the allocation step keeps every byte.
    for (int i = 0; i < 5000; ++i) {
        uint8_t v = static_cast<uint8_t>(i);
        a.Put(&v);
    }
    ASSERT_EQ(a.Size(), 5000);
    for (int i = 0; i < 5000; i += 997) EXPECT_EQ(a.GetBytes()[i], static_cast<uint8_t>(i));
}

} // namespace
