// The message-table document at the size of a large event source, 10,000 messages:
//   1. opening its .ELP against the raw reads it stands on: the document reads every section of
//      the file once (GetPrivateProfileSectionW), so the floor is one such read per section;
//   2. generating its source unit (TPasSourceModule::PasSource, run on every change in the
//      editor) against formatting the same constant lines bare, without templates.
// Both sides run in alternating rounds; prints the median time of each and the median of the
// rounds' ratios.
#include "ide/msgtable/model/EvLog_Document.h"
#include "ide/msgtable/model/EvLog_PasSource.h"

#include "host/SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::evlog;

namespace {

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// 10 blocks of 1,000 messages, one locale: 10,000 texts, their comments and names.
void MakeDocument(const std::wstring& path) {
    TEvLogDocument doc;
    doc.SetEventSource(L"BenchSource");
    for (int b = 0; b < 10; ++b) {
        TMessageBlock* block = doc.AddBlock();
        for (int i = 0; i < 1000; ++i) {
            block->SetMessages(1033, i, Format(L"Message %d of block %d: the service %%1 reported %%2 (#%d)\r\n", i, b, i));
            block->SetComments(i, Format(L"Comment %d", i));
        }
    }
    if (!doc.SaveAs(path)) {
        std::fprintf(stderr, "cannot write %ls\n", path.c_str());
        std::exit(1);
    }
}

// Every section of the file, each read once and whole.
size_t RawSections(const std::wstring& path) {
    std::vector<wchar_t> names(1 << 16);
    DWORD n = GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), path.c_str());
    std::vector<wchar_t> section(1 << 20);
    size_t total = 0;
    for (DWORD i = 0; i < n;) {
        const wchar_t* name = names.data() + i;
        total += GetPrivateProfileSectionW(name, section.data(), static_cast<DWORD>(section.size()), path.c_str());
        i += static_cast<DWORD>(wcslen(name)) + 1;
    }
    return total;
}

// The constant lines of every message, formatted directly.
size_t BareConstants(TEvLogDocument& doc) {
    std::wstring text;
    for (int b = 0; b < doc.MessageTable().BlockCount(); ++b) {
        TMessageBlock* block = doc.MessageTable().Blocks(b);
        for (int i = 0; i < block->Count(); ++i)
            text += L"const " + block->Names(i) + L" = $" + IntToHex(block->LowId() + i, 2) + L"; // " +
                    block->Comments(i) + L"\r\n";
    }
    return text.size();
}

void CompareSourceUnit(const std::wstring& path) {
    TEvLogDocument doc;
    doc.Open(path);
    TPasSourceModule* module = Create<TPasSourceModule>(nullptr);
    std::vector<double> generated, bare, ratio;
    for (int round = 0; round < 9; ++round) {
        double start = Seconds();
        const size_t unit = module->PasSource(doc).size();
        const double g = Seconds() - start;
        start = Seconds();
        const size_t lines = BareConstants(doc);
        const double b = Seconds() - start;
        if (unit < lines) std::exit(1);
        generated.push_back(g * 1e3);
        bare.push_back(b * 1e3);
        ratio.push_back(g / b);
    }
    Free(module);
    std::printf("\nsource unit of the same document, 9 rounds, medians\n");
    std::printf("TPasSourceModule::PasSource          %8.1f ms\n", Median(generated));
    std::printf("the constant lines formatted bare    %8.1f ms\n", Median(bare));
    std::printf("ratio PasSource / bare               %8.2f\n", Median(ratio));
}

} // namespace

int main() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"tamrel_msgtable_bench.elp";
    MakeDocument(path);

    std::vector<double> open, raw, ratio;
    size_t texts = 0;
    for (int round = 0; round < 9; ++round) {
        double start = Seconds();
        TEvLogDocument doc;
        if (!doc.Open(path)) {
            std::fprintf(stderr, "Open failed\n");
            return 1;
        }
        const double o = Seconds() - start;
        texts = 0;
        for (int b = 0; b < doc.MessageTable().BlockCount(); ++b) texts += doc.MessageTable().Blocks(b)->Count();
        start = Seconds();
        const size_t chars = RawSections(path);
        const double r = Seconds() - start;
        if (chars == 0) return 1;
        open.push_back(o * 1e3);
        raw.push_back(r * 1e3);
        ratio.push_back(o / r);
    }
    std::printf("document of %zu texts, 9 rounds, medians\n", texts);
    std::printf("TEvLogDocument::Open                 %8.1f ms\n", Median(open));
    std::printf("GetPrivateProfileSectionW, each once %8.1f ms\n", Median(raw));
    std::printf("ratio Open / raw                     %8.2f\n", Median(ratio));
    CompareSourceUnit(path);
    DeleteFileW(path.c_str());
    return 0;
}
