#include "ide/msgtable/model/core/VersionCodec.h"

#include <gtest/gtest.h>

using namespace tamrel::msgcore;

namespace {

void Node(ByteWriter& w, std::u16string_view key, uint16_t valueLength, uint16_t type, size_t length) {
    WriteVersionHead(w, {static_cast<uint16_t>(length), valueLength, type, std::u16string(key)});
}

// A string table "040904E4" of CompanyName = "Acme" and an empty Comments with no value bytes
// (as some compilers write it).
Bytes Table() {
    Bytes out;
    ByteWriter w(out);
    const size_t company = VersionHeadSize(11) + 10, comments = VersionHeadSize(8);
    Node(w, u"040904E4", 0, 1, VersionHeadSize(8) + AlignUp4(company) + comments);
    Node(w, u"CompanyName", 5, 1, company);
    w.Text(u"Acme", true);
    w.AlignZeros();
    Node(w, u"Comments", 0, 1, comments);
    return out;
}

} // namespace

TEST(VersionCodec, ReadsAStringTableUpToEachNodesEnd) {
    const Bytes bytes = Table();
    ByteReader r(bytes.data(), bytes.size());
    VersionStringTable table;
    ASSERT_TRUE(ReadVersionStringTable(r, table));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(u"040904E4", table.Head.Key);
    ASSERT_EQ(2u, table.Items.size());
    EXPECT_EQ(u"Acme", table.Items[0].Value);
    EXPECT_EQ(u"Comments", table.Items[1].Head.Key);
    EXPECT_EQ(u"", table.Items[1].Value) << "no value bytes: an empty value, not the next node";
}

TEST(VersionCodec, AWrongKeyConsumesNothingAndMisalignmentRaises) {
    const Bytes bytes = Table();
    ByteReader r(bytes.data(), bytes.size());
    VersionInfoTree tree;
    EXPECT_FALSE(ReadVersionInfo(r, tree));
    EXPECT_EQ(0u, r.Pos());
    r.Seek(2);
    try {
        ReadVersionInfo(r, tree);
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_STREQ("Address nust be aligned to DWORD boundary", e.what());
    }
    Bytes out;
    ByteWriter w(out);
    w.U16(0);
    EXPECT_THROW(WriteVersionHead(w, {}), FormatError);
}

TEST(VersionCodec, NodesMustStayInsideTheirParent) {
    Bytes bytes = Table();
    bytes[VersionHeadSize(8)] = 0xF0; // CompanyName's Length beyond the table
    ByteReader r(bytes.data(), bytes.size());
    VersionStringTable table;
    EXPECT_THROW(ReadVersionStringTable(r, table), FormatError);

    Bytes tiny = Table();
    tiny[0] = 4; // a Length smaller than the head
    ByteReader t(tiny.data(), tiny.size());
    EXPECT_THROW(ReadVersionStringTable(t, table), FormatError);
    EXPECT_THROW(VersionNodeLength(65536, u"Big"), FormatError);
    EXPECT_EQ(65535, VersionNodeLength(65535, u"Big"));
}
