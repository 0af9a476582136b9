#include "ide/msgtable/model/core/MessageTableCodec.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tamrel::msgcore;

TEST(MessageTableCodec, RoundTripsBlocksOfUnpaddedEntriesAndGivesAnEmptyBlockNoRecord) {
    // The empty block at 0 would be the record 0 - 0xFFFFFFFF.
    const std::vector<MessageTableBlock> blocks = {
        {0, 0, {}}, {1, 2, {u"First", u"\u0416"}}, {0x100, 0x100, {u""}}};
    const Bytes bytes = WriteMessageTable(blocks);
    EXPECT_EQ(4u + 24 + (10 + 6) + (2 + 6) + 6, bytes.size());
    const std::vector<MessageTableBlock> back = ReadMessageTable(bytes.data(), bytes.size());
    ASSERT_EQ(2u, back.size());
    for (size_t k = 1; k < 3; ++k) {
        EXPECT_EQ(blocks[k].LowId, back[k - 1].LowId);
        EXPECT_EQ(blocks[k].HighId, back[k - 1].HighId);
        EXPECT_EQ(blocks[k].Texts, back[k - 1].Texts);
    }
}

TEST(MessageTableCodec, TextsEndInsideTheirEntry) {
    // One entry of Length 8 holding "AB" without a NUL, then a second entry.
    const Bytes bytes = {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 16, 0, 0, 0, 8, 0, 1, 0, 'A', 0, 'B', 0, 6, 0, 1, 0, 'C', 0};
    const auto blocks = ReadMessageTable(bytes.data(), bytes.size());
    EXPECT_EQ((std::vector<std::u16string>{u"AB", u"C"}), blocks[0].Texts);
}

TEST(MessageTableCodec, OverlappingBlocksCannotMultiplyTheData) {
    // 200 blocks all claiming the same 20 entries of 4 bytes each: 4000 entries in 2484 bytes.
    Bytes bytes(4 + 200 * 12 + 20 * 4, 0);
    bytes[0] = 200;
    for (size_t k = 0; k < 200; ++k) {
        const size_t at = 4 + 12 * k;
        bytes[at + 4] = 19;
        const uint32_t offset = 4 + 200 * 12;
        bytes[at + 8] = offset & 0xFF;
        bytes[at + 9] = offset >> 8;
    }
    for (size_t e = 0; e < 20; ++e) bytes[4 + 200 * 12 + 4 * e] = 4;
    EXPECT_THROW(ReadMessageTable(bytes.data(), bytes.size()), FormatError);
}

TEST(MessageTableCodec, NamesTheMessageThatIsTooLong) {
    std::vector<MessageTableBlock> blocks = {{1, 0, {u"ok"}}, {0x7FFFFFFF, 0, {u"", std::u16string(MaxMessageUnits + 1, u'x')}}};
    try {
        WriteMessageTable(blocks);
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_NE(nullptr, std::strstr(e.what(), "0x80000000")) << e.what();
        EXPECT_NE(nullptr, std::strstr(e.what(), "block 1")) << e.what();
    }
}
