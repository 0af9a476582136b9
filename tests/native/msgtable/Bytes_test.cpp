#include "ide/msgtable/model/core/Bytes.h"

#include <gtest/gtest.h>

using namespace tamrel::msgcore;

TEST(Bytes, ReadsLittleEndianWithinBoundsOnly) {
    const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(0x0201, r.U16());
    EXPECT_EQ(0x06050403u, r.U32());
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(r.U8(), FormatError);
    EXPECT_THROW(r.U32At(3), FormatError);
    EXPECT_THROW(r.U16At(SIZE_MAX), FormatError) << "no wrap-around of the position";
    EXPECT_THROW(r.Seek(7), FormatError);
    r.Seek(6);
    EXPECT_THROW(r.Skip(1), FormatError);
    r.Seek(1);
    EXPECT_THROW(r.Limited(0), FormatError) << "a limit before the position";
    EXPECT_THROW(r.Limited(7), FormatError) << "a limit beyond the end";
    ByteReader part = r.Limited(3);
    EXPECT_EQ(1u, part.Pos());
    EXPECT_EQ(0x0302, part.U16());
    EXPECT_THROW(part.U8(), FormatError);
}

TEST(Bytes, TextEndsAtItsNulOrAtTheEnd) {
    const uint8_t data[] = {'a', 0, 'b', 0, 0, 0, 'c', 0, 'd'};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(u"ab", r.TextUpToNul());
    EXPECT_EQ(6u, r.Pos());
    EXPECT_EQ(u"c", r.TextUpToNul()) << "an odd last byte is no unit";
    r.Seek(1);
    r.AlignClamped();
    EXPECT_EQ(4u, r.Pos());
    r.Seek(5);
    ByteReader part = r.Limited(7);
    part.AlignClamped();
    EXPECT_EQ(7u, part.Pos()) << "never past the end";
}

TEST(Bytes, WritesAndPadsWithZeros) {
    Bytes out;
    ByteWriter w(out);
    w.U16(0xABCD);
    w.Text(u"x", true);
    w.AlignZeros();
    w.U32(0x01020304);
    w.PutU32At(0, 0xFFFFFFFF);
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 4, 3, 2, 1}), out);
    EXPECT_THROW(Fail("count %zu of %s", size_t(3), "x"), FormatError);
    try {
        Fail("count %zu of %s", size_t(3), "x");
    } catch (const FormatError& e) {
        EXPECT_STREQ("count 3 of x", e.what());
    }
}
