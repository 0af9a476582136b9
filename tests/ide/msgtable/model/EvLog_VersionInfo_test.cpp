#include "ide/msgtable/model/EvLog_VersionInfo.h"

#include "host/Handles.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

ByteVector Saved(TEvLogVersionBase& node) {
    return test::Saved([&](const TEvLogSetDataProc& sink) { node.SaveTo(sink); });
}

// Aligned storage for reading, as resources are.
struct TAligned {
    std::vector<uint32_t> words;
    uint32_t size;
    explicit TAligned(const ByteVector& bytes) : words((bytes.size() + 3) / 4), size(static_cast<uint32_t>(bytes.size())) {
        std::memcpy(words.data(), bytes.data(), bytes.size());
    }
    const void* data() const { return words.data(); }
};

} // namespace

TEST(VersionInfo, NodeSizesFollowTheLayout) {
    TString company(L"CompanyName", L"");
    EXPECT_EQ(34u, company.CalcSize());
    EXPECT_EQ(34, company.Length());
    EXPECT_EQ(1, company.ValueLength());
    EXPECT_EQ(1, company.Type());

    TVar var;
    var.Add(0x04E40409);
    EXPECT_EQ(36u, var.CalcSize());
    EXPECT_EQ(4, var.ValueLength());
    EXPECT_EQ(L"Translation", var.Key()) << "sizing takes the key the node requires";

    TVersionInfo empty;
    const ByteVector bytes = Saved(empty);
    ASSERT_EQ(40u, bytes.size());
    EXPECT_EQ(40, bytes[0] | bytes[1] << 8);
    EXPECT_EQ(0, bytes[2] | bytes[3] << 8) << "no fixed part";
    EXPECT_EQ('V', bytes[6]);
    EXPECT_EQ(0, bytes[36] | bytes[37] << 8) << "the key's NUL";
}

TEST(VersionInfo, ATreeRoundTrips) {
    TVersionInfo info;
    info.SetIsFixedFileInfo(true);
    info.FixedFileInfo().dwSignature = 0xFEEF04BD;
    info.FixedFileInfo().dwFileVersionMS = 0x00010002;
    info.FixedFileInfo().dwFileVersionLS = 0x00030004;
    info.SetIsStringFileInfo(true);
    TStringTable* table = info.StringFileInfo().Add(std::make_unique<TStringTable>());
    table->SetKey(L"040904E4");
    table->Add(std::make_unique<TString>(L"CompanyName", L"Acme \u0416"));
    table->Add(std::make_unique<TString>(L"Comments", L""));
    table->Add(std::make_unique<TString>(L"FileVersion", L"1.2.3.4"));
    info.SetIsVarFileInfo(true);
    info.VarFileInfo().Add(std::make_unique<TVar>())->Add(0x04E40409);
    const ByteVector bytes = Saved(info);
    EXPECT_EQ(bytes.size(), static_cast<size_t>(bytes[0] | bytes[1] << 8));

    TVersionInfo back;
    const TAligned aligned(bytes);
    ASSERT_TRUE(back.LoadFrom(aligned.data(), aligned.size));
    EXPECT_EQ(0x00010002u, back.FixedFileInfo().dwFileVersionMS);
    EXPECT_EQ(0x00030004u, back.FixedFileInfo().dwFileVersionLS);
    ASSERT_EQ(1, back.StringFileInfo().Count());
    TStringTable* t = back.StringFileInfo().Items(0);
    EXPECT_EQ(L"040904E4", t->Key());
    ASSERT_EQ(3, t->Count());
    EXPECT_EQ(L"Acme \u0416", t->Items(0)->Value());
    EXPECT_EQ(L"", t->Items(1)->Value());
    EXPECT_EQ(L"FileVersion", t->Items(2)->Key());
    EXPECT_EQ(L"1.2.3.4", t->Items(2)->Value());
    ASSERT_EQ(1, back.VarFileInfo().Count());
    EXPECT_EQ(0x04E40409u, back.VarFileInfo().Items(0)->Items(0));
}

TEST(VersionInfo, AbsentPartsRaiseAndAWrongKeyReadsFalse) {
    TVersionInfo info;
    EXPECT_EQ(L"FixedFileInfo missed", FailureText([&] { info.FixedFileInfo(); }));
    EXPECT_EQ(L"StringFileInfo missed", FailureText([&] { info.StringFileInfo(); }));
    EXPECT_EQ(L"VarFileInfo missed", FailureText([&] { info.VarFileInfo(); }));

    TStringTable other;
    other.SetKey(L"NOT_VERSION");
    const TAligned aligned(Saved(other));
    TVersionInfo reader;
    EXPECT_FALSE(reader.LoadFrom(aligned.data(), aligned.size));
    EXPECT_FALSE(reader.IsStringFileInfo());

    const ByteVector shifted = [&] {
        ByteVector b(2, 0);
        const ByteVector tree = Saved(info);
        b.insert(b.end(), tree.begin(), tree.end());
        return b;
    }();
    const TAligned misaligned(shifted);
    EXPECT_EQ(L"Address nust be aligned to DWORD boundary", FailureText([&] {
                  reader.LoadFrom(static_cast<const uint8_t*>(misaligned.data()) + 2, misaligned.size - 2);
              }));
}

TEST(VersionInfo, RefusesNodesTheLengthFieldCannotCarry) {
    TStringTable table;
    table.SetKey(L"040904E4");
    table.Add(std::make_unique<TString>(L"Comments", std::wstring(20000, L'x')));
    table.Add(std::make_unique<TString>(L"Other", std::wstring(20000, L'y')));
    const std::wstring text = FailureText([&] { Saved(table); });
    EXPECT_NE(std::wstring::npos, text.find(L"\"040904E4\"")) << WideToUtf8(text);

    TString huge(L"Huge", std::wstring(40000, L'z'));
    EXPECT_NE(std::wstring::npos, FailureText([&] { huge.CalcSize(); }).find(L"\"Huge\""));
}

TEST(VersionInfo, RefusesNodesThatLeaveTheirParent) {
    TString s(L"Key", L"value");
    ByteVector bytes = Saved(s);
    bytes[0] = static_cast<uint8_t>(bytes.size() + 4); // Length beyond the data
    const TAligned longer(bytes);
    TString reader;
    EXPECT_NE(L"<no exception>", FailureText([&] { reader.LoadFrom(longer.data(), longer.size); }));

    TVar var;
    var.Add(1);
    ByteVector varBytes = Saved(var);
    varBytes[2] = 40; // ValueLength: ten values in a node that holds one
    const TAligned values(varBytes);
    TVar varReader;
    EXPECT_NE(L"<no exception>", FailureText([&] { varReader.LoadFrom(values.data(), values.size); }));
}

TEST(VersionInfo, ReadsTheToolVersionResourceAsTheSystemDoes) {
    const std::wstring file = FixturePath(L"fixture64.dll");
    TModuleHandle module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module.Valid());
    HRSRC res = FindResourceW(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_NE(nullptr, res);
    const void* data = LockResource(LoadResource(module.Get(), res));
    TVersionInfo info;
    ASSERT_TRUE(info.LoadFrom(data, SizeofResource(module.Get(), res)));

    DWORD ms, ls, translation;
    SystemVersionNumbers(file, ms, ls, translation);
    EXPECT_EQ(ms, info.FixedFileInfo().dwFileVersionMS);
    EXPECT_EQ(ls, info.FixedFileInfo().dwFileVersionLS);
    EXPECT_EQ(translation, info.VarFileInfo().Items(0)->Items(0));
    TStringTable* table = info.StringFileInfo().Items(0);
    ASSERT_EQ(5, table->Count());
    for (int i = 0; i < table->Count(); ++i)
        EXPECT_EQ(SystemVersionText(file, L"\\StringFileInfo\\" + table->Key() + L"\\" + table->Items(i)->Key()),
                  table->Items(i)->Value())
            << WideToUtf8(table->Items(i)->Key());
}
