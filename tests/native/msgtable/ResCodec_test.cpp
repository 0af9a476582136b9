#include "ide/msgtable/model/core/ResCodec.h"

#include <gtest/gtest.h>

using namespace tamrel::msgcore;

namespace {

Bytes Written(const ResEntry& e) {
    Bytes out;
    ByteWriter w(out);
    WriteResEntry(w, e);
    return out;
}

} // namespace

TEST(ResCodec, StringIdsOfEitherLengthRoundTrip) {
    for (const std::u16string& type : {u"A", u"AB", u"EVLOG_NAMES", u"EVLOG_COMMENTS"}) {
        for (const std::u16string& name : {u"N", u"NM"}) {
            ResEntry e;
            e.Type = ResourceId::String(type);
            e.Name = ResourceId::String(name);
            e.LanguageId = 1049;
            e.Data = {1, 2, 3};
            const Bytes bytes = Written(e);
            EXPECT_EQ(0u, bytes.size() % 4);
            EXPECT_EQ(ResHeaderSize(e.Type, e.Name), bytes[4] | bytes[5] << 8);
            ByteReader r(bytes.data(), bytes.size());
            ResEntry back;
            ReadResEntry(r, back);
            EXPECT_TRUE(r.AtEnd());
            EXPECT_EQ(type, back.Type.Name);
            EXPECT_EQ(name, back.Name.Name);
            EXPECT_EQ(1049, back.LanguageId);
            EXPECT_EQ(e.Data, back.Data);
        }
    }
}

TEST(ResCodec, RefusesNamesWithoutEndAndCutEntries) {
    ResEntry e;
    e.Type = ResourceId::String(u"TYPE");
    e.Name = ResourceId::Number(1);
    const Bytes whole = Written(e);
    Bytes noNul = whole;
    // HeaderSize cut to the type's text: the NUL falls outside the header.
    noNul[4] = 8 + 8;
    ByteReader r(noNul.data(), noNul.size());
    ResEntry back;
    EXPECT_THROW(ReadResEntry(r, back), FormatError);
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        ByteReader part(whole.data(), cut);
        ResEntry p;
        EXPECT_THROW(ReadResEntry(part, p), FormatError) << cut;
    }
}

TEST(ResCodec, AnEmptyStringIdIsRefusedBothWays) {
    // Read back, its zero word would pass for the older layout's padding after TYPE.
    ResEntry e;
    e.Type = ResourceId::String(u"T");
    e.Name = ResourceId::String(u"");
    EXPECT_THROW(Written(e), FormatError);
    const Bytes bytes = {0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ByteReader r(bytes.data(), bytes.size());
    ResEntry back;
    EXPECT_THROW(ReadResEntry(r, back), FormatError);
}
