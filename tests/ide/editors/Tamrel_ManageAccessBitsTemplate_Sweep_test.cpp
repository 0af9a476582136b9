// 2,000 user template files, made by mutating good ones with a fixed seed (bytes flipped, cut,
// repeated; headers, separators, line breaks, byte-order marks and long or foreign names put in),
// each read by the manager (every template shown in its preview, then saved) and by the template
// picker (every user template chosen). Nothing may crash; a save either raises or writes a file
// that reads back as the names and bits the manager held.
#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"
#include "ide/editors/Tamrel_SelectAccessBitsTemplate.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/HostApplication.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class TemplateFileSweep : public testing::Test {
protected:
    void SetUp() override {
        File = GetMaskTemplateFileName();
        Had = GetFileAttributesW(File.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (Had) Saved = ReadFileBytes(File);
    }
    void TearDown() override {
        if (MaskTemplateManager()) Free(MaskTemplateManager());
        DeleteFileW(File.c_str());
        if (Had) WriteFileBytes(File, Saved);
    }
    std::wstring File;
    bool Had = false;
    std::string Saved;
};

// A good file to start from: a few templates, some names outside the ANSI page.
std::string GoodFile(std::mt19937& rng, const std::wstring& path) {
    static const wchar_t* names[] = {L"Files", L"Keys", L"\u00e9t\u00e9", L"\u0416\u0443\u043a", L"a b", L"Sp"};
    std::vector<std::unique_ptr<TrkAccessBits>> sets;
    std::vector<std::pair<std::wstring, const TrkAccessBits*>> templates;
    const int count = static_cast<int>(rng() % 2) + 1;
    for (int i = 0; i < count; ++i) {
        sets.push_back(std::make_unique<TrkAccessBits>());
        sets.back()->SetMaskType(static_cast<TrkAccessMaskType>(rng() % 19));
        if (rng() % 2) sets.back()->MaskBit(static_cast<int>(rng() % 32))->SetBitName(L"\u0418\u043c\u044f " + std::to_wstring(i));
        templates.emplace_back(std::wstring(names[(i + rng()) % std::size(names)]) + std::to_wstring(i), sets.back().get());
    }
    WriteMaskTemplates(path, templates);
    return ReadFileBytes(path);
}

// Values lose one pair of surrounding quotes on reading (the INI file's rule), so a name read
// with quotes left reads without them once written again.
std::wstring Unquoted(const std::wstring& s) {
    return s.size() >= 2 && s.front() == L'"' && s.back() == L'"' ? s.substr(1, s.size() - 2) : s;
}

std::string Mutate(std::mt19937& rng, std::string bytes) {
    static const std::string pieces[] = {"[", "]", "=", "\r\n", "\n", "\r", "\xFF\xFE", "\xEF\xBB\xBF", std::string(1, '\0'),
                                         "[x]\r\n", "Bit_3_Used=1\r\n", "Bit_40_Name=far\r\n", "Bit_-1_Used=1\r\n",
                                         "Bit_2_Name=" + std::string(3000, 'n') + "\r\n", "[" + std::string(300, 's') + "]\r\n",
                                         "\x16\x04", ";comment\r\n", "[ a ]\r\n", "[A]\r\n[a]\r\n", "\"quoted\""};
    const int edits = static_cast<int>(rng() % 6) + 1;
    for (int e = 0; e < edits; ++e) {
        const size_t at = bytes.empty() ? 0 : rng() % (bytes.size() + 1);
        switch (rng() % 5) {
        case 0:
            if (!bytes.empty()) bytes[at % bytes.size()] = static_cast<char>(rng());
            break;
        case 1: bytes.insert(at, pieces[rng() % std::size(pieces)]); break;
        case 2: bytes.resize(at); break;
        case 3: bytes.erase(at, rng() % 64); break;
        default:
            if (at < bytes.size()) bytes.insert(at, bytes.substr(at, rng() % 200));
            break;
        }
    }
    return bytes;
}

TEST_F(TemplateFileSweep, TwoThousandMutatedFilesThroughTheManagerAndThePicker) {
    // What the manager's windows raise reaches the application; here it is only counted.
    struct TErrors {
        int Count = 0;
        void Caught(TObject*, Exception&) { ++Count; }
    } errors;
    HostApplication->SetOnException(TExceptionEvent::Of<&TErrors::Caught>(&errors));
    TScopeExit unhooked([] { HostApplication->SetOnException({}); });

    std::mt19937 rng(20140925);
    // Writing a good file costs a file rewrite per key: a few are made once and mutated anew.
    std::vector<std::string> good;
    for (int i = 0; i < 12; ++i) good.push_back(GoodFile(rng, File));
    int saved = 0, refused = 0, chosen = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = round % 50 == 0 ? std::string() : Mutate(rng, good[rng() % good.size()]);
        WriteFileBytes(File, bytes);
        SCOPED_TRACE("round " + std::to_string(round));

        {
            TRkManageAccessBitsTemplateForm* manager = Create<TRkManageAccessBitsTemplateForm>(HostApplication.Get());
            TScopeExit freed([manager] { Free(manager); });
            TListItems* items = manager->LvTemplates->Items();
            std::vector<std::wstring> names;
            for (int i = 0; i < items->Count(); ++i) {
                items->Item(i)->SetSelected(true);
                manager->LvTemplatesSelectItem(manager->LvTemplates, items->Item(i), true);
                ASSERT_EQ(manager->AccessMask(), items->Item(i)->Data());
                names.push_back(items->Item(i)->Caption());
                items->Item(i)->SetSelected(false);
            }
            if (round % 16 == 8 && items->Count() >= 2) {
                // Two names the file would take for one: refused, and the file stays as it was.
                items->Item(1)->SetCaption(L" " + UpperCase(items->Item(0)->Caption()) + L" ");
                EXPECT_THROW(manager->ActSave->Execute(), Exception);
                EXPECT_EQ(ReadFileBytes(File), bytes);
                ++refused;
            } else if (round % 16 == 0) {
                try {
                    manager->ActSave->Execute();
                    ++saved;
                    ASSERT_EQ(ReadMaskTemplateNames(File), names);
                    for (int i = 0; i < items->Count(); ++i) {
                        TrkAccessBits read;
                        read.LoadFromIni(File, names[static_cast<size_t>(i)]);
                        const auto* held = static_cast<const TrkAccessBits*>(items->Item(i)->Data());
                        for (int b = 0; b < 32; ++b) {
                            ASSERT_EQ(read.MaskBit(b)->IsUsed(), held->MaskBit(b)->IsUsed()) << i << " " << b;
                            ASSERT_EQ(Unquoted(read.MaskBit(b)->BitName()), Unquoted(held->MaskBit(b)->BitName())) << i << " " << b;
                        }
                    }
                } catch (const Exception&) {
                    ++refused; // names the mutation made equal, or blank
                }
            }
        }

        if (round % 4 == 0) {
            TOwned<TRkSelectAccessBitsTemplateForm> picker(Create<TRkSelectAccessBitsTemplateForm>(nullptr));
            picker->RbUser->SetChecked(true);
            picker->RbTemplatesClick(picker->RbUser);
            for (int i = 0; i < picker->CbTemplates->Items()->Count(); ++i) {
                picker->CbTemplates->SetItemIndex(i);
                picker->CbTemplatesChange(picker->CbTemplates);
                ASSERT_EQ(picker->AccessMaskType(), mtCustom);
                ++chosen;
            }
        }
    }
    // The sweep reached both outcomes of a save, and the picker had templates to choose.
    EXPECT_GT(saved, 20);
    EXPECT_GT(refused, 0);
    EXPECT_GT(chosen, 250);
    EXPECT_EQ(errors.Count, 0);
}

} // namespace
