// Helpers of the message-table model tests: the fixture files the outside tools made, what the
// system and the tools read from them, and a recording document view.
#pragma once

#include "ide/msgtable/model/EvLog_Document.h"
#include "ide/msgtable/model/EvLog_PEResources.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace tamrel::evlog::test {

using ByteVector = std::vector<uint8_t>;

// bin\msgtable\<name>: the fixtures.
std::wstring FixturePath(const std::wstring& name);
// bin\msgtable\out\<name>: what the tests write for the tool checks (the folder is made).
std::wstring OutPath(const std::wstring& name);
ByteVector ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const ByteVector& bytes);

inline constexpr uint32_t English = 1033;
inline constexpr uint32_t Russian = 1049;

// The message of the host exception F raises, or "<no exception>".
std::wstring FailureText(const std::function<void()>& f);
// The bytes a writer hands to its data sink.
ByteVector Saved(const std::function<void(const TEvLogSetDataProc&)>& save);

// The fixture ids, as the .mc files hold them, and the languages.
inline const uint32_t FixtureIds[] = {1, 2, 0x100, 0x101, 0x102, 0x200};
inline const uint16_t FixtureLanguages[] = {1033, 1049};

// FormatMessageW of a message of the module, inserts left as they are, in one language.
std::wstring SystemMessage(HMODULE module, DWORD id, WORD language);
// The same for a text of our own: FormatMessageW turns the line feeds of a message into CR LF.
std::wstring SystemFormat(const std::wstring& text);
// VerQueryValueW of a file's version resource ("\\StringFileInfo\\040904E4\\CompanyName").
std::wstring SystemVersionText(const std::wstring& file, const std::wstring& subBlock);
// The file-version fields of VS_FIXEDFILEINFO (MS, LS) and the first translation.
void SystemVersionNumbers(const std::wstring& file, DWORD& fileVersionMS, DWORD& fileVersionLS,
                          DWORD& translation);

// Resource leaves as "type|name|language|hex bytes" (numbers in decimal): what
// llvm-readobj --coff-resources printed into a dump file (a .res or an image), and what a tree
// read by the model holds.
std::multiset<std::string> ReadobjLeaves(const std::wstring& dumpFile);
std::multiset<std::string> TreeLeaves(TPEResourceDirectory& root);
std::string Leaf(const TResIdText& type, const TResIdText& name, uint32_t language, const uint8_t* data, size_t size);

// The texts of a windres "MC syntax dump" (windres -O rc) per language and id, trailing NULs
// cut off.
struct TDumpedMessage {
    uint16_t Language;
    uint32_t Id;
    std::wstring Text;
    auto operator<=>(const TDumpedMessage&) const = default;
};
std::set<TDumpedMessage> WindresMessages(const std::wstring& rcFile);

// A view that records what it hears and counts its references.
class TRecordingView : public IEvLogDocumentView {
public:
    struct TCall {
        TEvLogDocumentChanges Changes;
        TMessageBlock* Block;
    };
    std::vector<TCall> Calls;
    LONG RefCount = 0;
    // Runs inside each call, while the document is still in the state it reports.
    std::function<void(TEvLogDocumentChanges, TMessageBlock*)> OnChanged;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++RefCount; }
    ULONG STDMETHODCALLTYPE Release() override { return --RefCount; }
    void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
        Calls.push_back({changes, mb});
        if (OnChanged) OnChanged(changes, mb);
    }
};

// A new folder in the temporary directory (Path ends with a backslash), removed with whatever
// it holds (one level of subfolders) when the object goes.
class TTempFolder {
public:
    explicit TTempFolder(const std::wstring& prefix);
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::wstring Path;
    // The files it holds now.
    size_t FileCount() const;
};

} // namespace tamrel::evlog::test
