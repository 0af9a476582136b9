#include "ide/msgtable/model/EvLog_Messages.h"

#include "tests/ide/msgtable/model/MsgTableTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

TEST(MessageTable, ReadingABlockBeyondTheEndCreatesTheBlocksUpToIt) {
    TMessageTable table;
    TMessageBlock* block = table.Blocks(3);
    EXPECT_EQ(4, table.BlockCount());
    EXPECT_EQ(block, table.Blocks(3));
    EXPECT_EQ(0, block->Count());
    EXPECT_EQ(0xFFFFFFFFu, block->HighId()) << "an empty block ends before its LowId";
    delete table.Blocks(1);
    EXPECT_EQ(3, table.BlockCount()) << "a freed block leaves its table";
}

TEST(MessageBlock, DefaultNamesFollowThePrefixWhichLowIdResets) {
    TMessageBlock block;
    block.SetMessageNamePrefix(L"Category");
    block.SetLowId(0x300);
    EXPECT_EQ(L"Block_0300", block.MessageNamePrefix());
    block.SetMessages(English, 0, L"x");
    EXPECT_EQ(L"Block_0300_Message_300", block.Names(0));
    block.SetLowId(0x100);
    block.SetMessages(English, 3, L"y");
    EXPECT_EQ(L"Block_0100_Message_103", block.Names(3));
    block.SetLowId(5);
    EXPECT_EQ(L"Block_0005_Message_05", block.Names(0)) << "at least two digits";
    block.SetNames(1, L"MSG_OWN");
    EXPECT_EQ(L"MSG_OWN", block.Names(1));
}

TEST(MessageBlock, WritingBeyondTheEndGrowsEveryList) {
    TMessageBlock block;
    block.SetMessages(English, 1, L"second");
    block.SetComments(0, L"first comment");
    ASSERT_EQ(2, block.Count());
    block.SetMessages(Russian, 5, L"sixth");
    ASSERT_EQ(6, block.Count());
    EXPECT_EQ((std::vector<uint32_t>{English, Russian}), block.Locales());
    for (int i = 2; i < 6; ++i) {
        EXPECT_EQ(L"Comment is not specified yet", block.Comments(i));
        EXPECT_EQ(L"_Message_" + IntToHex(i, 2), block.Names(i)) << "no stored name, no prefix yet";
        EXPECT_EQ(L"", block.Messages(English, i));
    }
    EXPECT_EQ(L"first comment", block.Comments(0));
    EXPECT_EQ(L"sixth", block.Messages(Russian, 5));
    EXPECT_EQ(L"", block.Messages(Russian, 1)) << "a new locale starts with empty texts";
    EXPECT_THROW(block.Messages(English, 6), EListError);
    EXPECT_THROW(block.Comments(-1), EListError);
}

TEST(MessageBlock, InsertAndDeleteKeepTheListsInStep) {
    TMessageBlock block;
    block.UseLocales({English, Russian});
    for (int i = 0; i < 3; ++i) {
        block.SetMessages(English, i, L"e" + IntToStr(i));
        block.SetMessages(Russian, i, L"r" + IntToStr(i));
        block.SetNames(i, L"N" + IntToStr(i));
    }
    block.Insert(1);
    EXPECT_EQ(4, block.Count());
    EXPECT_EQ(L"", block.Messages(Russian, 1));
    EXPECT_EQ(L"r1", block.Messages(Russian, 2));
    EXPECT_EQ(L"N1", block.Names(2));
    EXPECT_EQ(L"Comment is not specified yet", block.Comments(1));
    block.Delete(0);
    EXPECT_EQ(3, block.Count());
    EXPECT_EQ(L"", block.Messages(English, 0));
    EXPECT_EQ(L"e2", block.Messages(English, 2));
    EXPECT_EQ(L"N2", block.Names(2));
}

TEST(MessageBlock, CountsRowsAndSeesEmptyTexts) {
    TMessageBlock block;
    struct Case {
        const wchar_t* text;
        int rows;
    } cases[] = {{L"", 0}, {L"one", 1}, {L"a\r\nb", 2}, {L"a\nb\rc", 3}, {L"a\r\n", 1}, {L"\r\n\r\n", 2}};
    for (int i = 0; i < 6; ++i) block.SetMessages(English, i, cases[i].text);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(cases[i].rows, block.MessageRows(English, i)) << i;

    TMessageBlock blank;
    EXPECT_TRUE(blank.IsEmpty()) << "no locales, no messages";
    blank.SetMessages(English, 0, L" \t\r\n");
    blank.SetMessages(Russian, 1, L"");
    EXPECT_TRUE(blank.IsEmpty());
    blank.SetMessages(Russian, 1, L" x ");
    EXPECT_FALSE(blank.IsEmpty());
}

TEST(MessageTable, WritesUnpaddedUtf16Entries) {
    TMessageTable table;
    TMessageBlock* block = table.Blocks(0);
    block->SetLowId(0x10);
    block->SetMessages(English, 0, L"A");
    block->SetMessages(English, 1, L"");
    const ByteVector bytes = Saved([&](auto& sink) { table.SaveMessagesResourceData(English, sink); });
    const ByteVector expected = {1, 0, 0, 0,                          // blocks
                                 0x10, 0, 0, 0, 0x11, 0, 0, 0, 16, 0, 0, 0, // LowId, HighId, offset
                                 8, 0, 1, 0, 'A', 0, 0, 0,             // Length 8, Flags 1, "A", NUL
                                 6, 0, 1, 0, 0, 0};                    // Length 6, Flags 1, NUL
    EXPECT_EQ(expected, bytes);
    EXPECT_EQ(English, table.CurrentLocale());
}

TEST(MessageTable, ReadsAnsiEntriesThroughTheSystemCodePage) {
    // One block of id 5: Length 9 (head, "Caf", E9, NUL), Flags 0.
    const ByteVector bytes = {1, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 16, 0, 0, 0, 9, 0, 0, 0, 'C', 'a', 'f', 0xE9, 0};
    TMessageTable table;
    table.LoadMessagesResourceData(English, bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(L"Caf\u00e9", table.Blocks(0)->Messages(English, 0));

    const ByteVector windmc = ReadBytes(FixturePath(L"ansi_MSG00409.bin"));
    table.Clear();
    table.LoadMessagesResourceData(English, windmc.data(), static_cast<uint32_t>(windmc.size()));
    EXPECT_EQ(0x300u, table.Blocks(0)->LowId());
    EXPECT_EQ(L"Caf\u00e9 %1\n", table.Blocks(0)->Messages(English, 0));
    EXPECT_EQ(L"Plain\n", table.Blocks(0)->Messages(English, 1));
}

TEST(MessageTable, ReadsTheToolTablesAsWindresDecodesThem) {
    TMessageTable table;
    for (auto [file, language] : {std::pair{L"messages_MSG00409.bin", English}, {L"messages_MSG00419.bin", Russian}}) {
        const ByteVector bytes = ReadBytes(FixturePath(file));
        table.LoadMessagesResourceData(language, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    const ByteVector names = ReadBytes(FixturePath(L"names_MSG00409.bin"));
    table.LoadNamesResourceData(names.data(), static_cast<uint32_t>(names.size()));
    const ByteVector comments = ReadBytes(FixturePath(L"comments_MSG00409.bin"));
    table.LoadCommentsResourceData(comments.data(), static_cast<uint32_t>(comments.size()));

    std::set<TDumpedMessage> read;
    for (int b = 0; b < table.BlockCount(); ++b) {
        TMessageBlock* block = table.Blocks(b);
        for (int i = 0; i < block->Count(); ++i)
            for (uint32_t language : {English, Russian})
                read.insert({static_cast<uint16_t>(language), block->LowId() + i, block->Messages(language, i)});
    }
    EXPECT_EQ(WindresMessages(FixturePath(L"fixture.windres.rc")), read);
    ASSERT_EQ(3, table.BlockCount());
    EXPECT_EQ(L"MSG_STARTED\n", table.Blocks(1)->Names(0));
    EXPECT_EQ(L"Two lines\n", table.Blocks(1)->Comments(2));
    EXPECT_EQ(L"Block_0200", table.Blocks(2)->MessageNamePrefix());
}

TEST(MessageTable, NamesAndCommentsRoundTripWithDefaultNamesWrittenOut) {
    TMessageTable table;
    TMessageBlock* block = table.Blocks(0);
    block->SetLowId(0x100);
    block->SetMessages(English, 1, L"x");
    block->SetNames(1, L"MSG_SECOND");
    block->SetComments(0, L"first");
    const ByteVector names = Saved([&](auto& sink) { table.SaveNamesResourceData(sink); });
    const ByteVector comments = Saved([&](auto& sink) { table.SaveCommentsResourceData(sink); });

    TMessageTable back;
    back.LoadNamesResourceData(names.data(), static_cast<uint32_t>(names.size()));
    back.LoadCommentsResourceData(comments.data(), static_cast<uint32_t>(comments.size()));
    ASSERT_EQ(2, back.Blocks(0)->Count());
    EXPECT_EQ(L"Block_0100_Message_100", back.Blocks(0)->Names(0));
    EXPECT_EQ(L"MSG_SECOND", back.Blocks(0)->Names(1));
    EXPECT_EQ(L"first", back.Blocks(0)->Comments(0));
    EXPECT_EQ(L"Comment is not specified yet", back.Blocks(0)->Comments(1));
    back.Blocks(0)->SetMessageNamePrefix(L"Other");
    EXPECT_EQ(L"Block_0100_Message_100", back.Blocks(0)->Names(0)) << "a name read is stored, not a default";
}

TEST(MessageBlock, RefusesADefaultNameThatAnotherMessageHas) {
    TMessageTable table;
    TMessageBlock* block = table.Blocks(0);
    block->SetLowId(0x100);
    block->SetMessages(English, 1, L"");
    table.Blocks(1)->SetLowId(0x200);
    table.Blocks(1)->SetNames(0, L"Block_0100_Message_102");
    // The next message here, or the first one once the block starts at $102.
    EXPECT_EQ(L"Message $102 would be named Block_0100_Message_102, the name of message $200",
              block->AddError());
    EXPECT_NE(L"", block->DefaultNamesError(0x102, L"Block_0100", 2));
    EXPECT_EQ(L"", block->DefaultNamesError(0x102, L"Disk", 2));
    block->SetNames(0, L"Mine");
    EXPECT_EQ(L"", block->DefaultNamesError(0x102, L"Block_0100", 2)) << "a message of its own name keeps it";
}

TEST(MessageTable, RefusesMalformedTables) {
    struct Case {
        const char* what;
        ByteVector bytes;
    } cases[] = {
        {"no block count", {1, 0}},
        {"more blocks than bytes", {0xFF, 0xFF, 0, 0, 1, 0, 0, 0}},
        {"entry offset beyond the end", {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0, 0, 0}},
        {"entry length below 4", {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 16, 0, 0, 0, 2, 0, 1, 0}},
        {"entry longer than the data", {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 16, 0, 0, 0, 40, 0, 1, 0, 'A', 0, 0, 0}},
        {"ids 0 to 0xFFFFFFFF", {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 16, 0, 0, 0, 6, 0, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TMessageTable table;
        EXPECT_NE(L"<no exception>", FailureText([&] {
            table.LoadMessagesResourceData(English, c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
        })) << c.what;
    }
    TMessageTable empty;
    const ByteVector none = {0, 0, 0, 0};
    empty.LoadMessagesResourceData(English, none.data(), 4);
    EXPECT_EQ(0, empty.BlockCount()) << "a table of no blocks changes nothing";
}

TEST(MessageTable, RefusesToWriteATextTheLengthFieldCannotCarry) {
    TMessageTable table;
    table.Blocks(0)->SetLowId(1);
    table.Blocks(0)->SetMessages(English, 0, L"c");
    TMessageBlock* block = table.Blocks(1);
    block->SetLowId(0x100);
    block->SetMessages(English, 2, std::wstring(32764, L'x'));
    const ByteVector bytes = Saved([&](auto& sink) { table.SaveMessagesResourceData(English, sink); });
    EXPECT_EQ(0xFFFE, bytes[bytes.size() - 2 * 32764 - 6] | bytes[bytes.size() - 2 * 32764 - 5] << 8);

    block->SetMessages(English, 2, std::wstring(32765, L'x'));
    const std::wstring text = FailureText([&] { Saved([&](auto& sink) { table.SaveMessagesResourceData(English, sink); }); });
    EXPECT_NE(std::wstring::npos, text.find(L"0x00000102")) << WideToUtf8(text);
    EXPECT_NE(std::wstring::npos, text.find(L"block 1")) << WideToUtf8(text);
}
