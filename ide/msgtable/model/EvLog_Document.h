// The message-table document the editor edits: event source and journal, categories, locales,
// message blocks and the version fields of the library built from it. Views hear of every
// change, batched between BeginUpdate and EndUpdate. The document loads and saves itself as
// .ELP text, .RES files and message libraries, chosen by file extension.
#pragma once

#include "host/Interfaced.h"
#include "host/TypeInfo.h"
#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/EvLog_Messages.h"
#include "ide/msgtable/model/EvLog_VersionInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tamrel::evlog {

enum TEvLogDocumentChange : uint8_t {
    eldcClear,
    eldcUsedLocales,
    eldcMultiBlocks,
    eldcBlockAdded,
    eldcBlockDeleted,
    eldcBlockModified,
    eldcUseCategories,
    eldcEventSource,
};
// Bit n stands for member n.
using TEvLogDocumentChanges = TSet<TEvLogDocumentChange>;

// A view of a document, {85BFD85D-5340-4DF8-86C5-7ED5ABF8B146}. MB is the one block that
// changed, or null when no single block is concerned.
struct IEvLogDocumentView : public IUnknown {
    virtual void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) = 0;
};

} // namespace tamrel::evlog

namespace tamrel {
TAMREL_INTERFACE_ID(evlog::IEvLogDocumentView, IUnknown, 0x85BFD85D, 0x5340, 0x4DF8, 0x86, 0xC5, 0x7E, 0xD5, 0xAB,
                    0xF8, 0xB1, 0x46)
} // namespace tamrel

namespace tamrel::evlog {

inline constexpr wchar_t SUntitled[] = L"( Untitled )";
inline constexpr wchar_t SUnableToLoad[] = L"Unable to load messages from file\r\n%s\r\nFile format is not recognized";
inline constexpr wchar_t SUnableToSave[] = L"Unable to save messages to file\r\n%s\r\nFile format is not supported";

inline constexpr uint32_t DefaultLocale = 1033;

class TEvLogDocument {
public:
    TEvLogDocument();
    // CreateNew: a new document under that file name.
    explicit TEvLogDocument(const std::wstring& fileName);
    TEvLogDocument(const TEvLogDocument&) = delete;
    TEvLogDocument& operator=(const TEvLogDocument&) = delete;
    ~TEvLogDocument();

    // These four notify the views.
    TEvLogEventType EventType() const { return FEventType; }
    void SetEventType(TEvLogEventType value);
    const std::wstring& EventSource() const { return FEventSource; }
    void SetEventSource(const std::wstring& value);
    bool UseCategories() const { return FUseCategories; }
    void SetUseCategories(bool value);
    const std::vector<uint32_t>& UsedLocales() const { return FUsedLocales; }
    // Every block takes up the locales; an empty list becomes [1033]. Texts of locales that
    // were dropped stay in the blocks.
    void SetUsedLocales(const std::vector<uint32_t>& value);

    // The version fields set Modified and notify no view; a negative number is stored as 0.
    const std::wstring& CompanyName() const { return FCompanyName; }
    void SetCompanyName(const std::wstring& value) { SetVersionText(FCompanyName, value); }
    const std::wstring& FileDescription() const { return FFileDescription; }
    void SetFileDescription(const std::wstring& value) { SetVersionText(FFileDescription, value); }
    const std::wstring& LegalCopyright() const { return FLegalCopyright; }
    void SetLegalCopyright(const std::wstring& value) { SetVersionText(FLegalCopyright, value); }
    const std::wstring& LegalTrademarks() const { return FLegalTrademarks; }
    void SetLegalTrademarks(const std::wstring& value) { SetVersionText(FLegalTrademarks, value); }
    const std::wstring& ProductName() const { return FProductName; }
    void SetProductName(const std::wstring& value) { SetVersionText(FProductName, value); }
    const std::wstring& ProductVersion() const { return FProductVersion; }
    void SetProductVersion(const std::wstring& value) { SetVersionText(FProductVersion, value); }
    int32_t MajorVersion() const { return FMajorVersion; }
    void SetMajorVersion(int32_t value) { SetVersionNumber(FMajorVersion, value); }
    int32_t MinorVersion() const { return FMinorVersion; }
    void SetMinorVersion(int32_t value) { SetVersionNumber(FMinorVersion, value); }
    int32_t Release() const { return FRelease; }
    void SetRelease(int32_t value) { SetVersionNumber(FRelease, value); }
    int32_t Build() const { return FBuild; }
    void SetBuild(int32_t value) { SetVersionNumber(FBuild, value); }

    // The version resource of the library built from the document, made anew at each read:
    // the fixed part (file version from the four numbers, each at most 65,535, else the read
    // raises naming the field), the string table "040904E4" and the translation 0x04E40409.
    TVersionInfo& VersionInfo();
    // Takes the version fields from a tree: strings and numbers are reset, then the file
    // version of the fixed part and the strings of the first table with exactly the field names.
    void SetVersionInfo(const TVersionInfo& value);
    // The attributes resource ("EventType", "EventSource", "CategoryCount"), made anew at each
    // read; with categories the categories block is made when missing.
    TStringTable& Attributes();

    // The document keeps a counted reference to each view.
    void AddView(IEvLogDocumentView* view);
    void RemoveView(IEvLogDocumentView* view);
    int ViewCount() const { return static_cast<int>(FViews.size()); }
    IEvLogDocumentView* Views(int index) const;

    TMessageTable& MessageTable() { return FMessageTable; }
    const std::wstring& FileName() const { return FFileName; }
    // Binds the document to another file; nothing is read or written.
    void SetFileName(const std::wstring& value) { FFileName = value; }
    std::wstring ShortFileName() const;
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }

    // Sets Modified; outside a batch every view hears of the change at once, inside one the
    // changes gather until the outermost EndUpdate.
    void Update(TEvLogDocumentChanges changes, TMessageBlock* mb);
    void BeginUpdate() { ++FUpdatesLevel; }
    void EndUpdate();
    int UpdatesLevel() const { return FUpdatesLevel; }
    TEvLogDocumentChanges Changes() const { return FChanges; }
    TMessageBlock* ChangedMessageBlock() const { return FChangedMessageBlock; }

    // A new block of one empty message on the next multiple of 256 after the blocks in use.
    // Raises, adding nothing, when that would pass the last id, or when the new message's default
    // name is another message's name.
    TMessageBlock* AddBlock();
    // These do nothing for a null block.
    void DeleteBlock(TMessageBlock* mb);
    void ModifyBlock(TMessageBlock* mb);
    // Raises, adding nothing, for what TMessageBlock::AddError refuses.
    void AddMessage(TMessageBlock* mb);
    // Deleting a block's last message deletes the block.
    void DeleteMessage(TMessageBlock* mb, int index);
    void ModifyMessages(TMessageBlock* mb);
    // The block with LowId 1, made (without notification) when there is none.
    TMessageBlock* CategoriesBlock();

    // Every file name of these is taken from the current folder when it is relative, as the
    // caller of a file dialog expects, and the document keeps the full path. The document shows
    // nothing: a failure gives False and its reason, which the editor shows.
    //
    // By extension: .ELP, .RES, .DLL or .EXE. An unknown extension gives SUnableToLoad, a failing
    // reader its own text (the document may then be partly loaded). Modified is False afterwards.
    // EventSource and SourceKind are not used.
    bool Open(const std::wstring& name, const std::wstring& eventSource = {},
              const std::wstring& sourceKind = {}, std::wstring* reason = nullptr);
    // Backs the current file up as ".bak" (when it exists; a backup that fails raises), then
    // SaveAs(FileName).
    bool Save(std::wstring* reason = nullptr);
    // By extension: .ELP, .RES or .DLL; others give SUnableToSave, a failing writer its own text.
    // On success the document takes the name and is no longer modified.
    bool SaveAs(const std::wstring& name, std::wstring* reason = nullptr);
    // Builds the message library under that name and leaves the document as it is: its file name
    // and its modified state stay. False when the build fails, with the reason (the build's own
    // text: a text too long, a version part too large, blocks sharing ids, a file the system
    // would not write, the template missing); an existing library then stays as it was.
    bool ExportLibrary(const std::wstring& fileName, std::wstring* reason = nullptr);
    // Saves the document first when its file does not exist, then builds the message library
    // beside it; False with the reason of the save or of the build.
    bool BuildProject(std::wstring* reason = nullptr);

private:
    void SetVersionText(std::wstring& field, const std::wstring& value);
    void SetVersionNumber(int32_t& field, int32_t value);
    void Deliver(TEvLogDocumentChanges changes, TMessageBlock* mb);

    void LoadElp(const std::wstring& fileName);
    void SaveElp(const std::wstring& fileName);
    bool ImportResFile(const std::wstring& fileName);
    bool ImportImage(const std::wstring& fileName);
    void ExportResFile(const std::wstring& fileName);
    void BuildLibrary(const std::wstring& fileName);
    // One resource of a .RES file or an image: taken (True) by the first kind that knows it.
    bool TakeResource(const TResIdText& type, const TResIdText& name, const uint8_t* data, uint32_t size,
                      const TResIdText& language);
    // The resources of the library and of a .RES file, in their order: (type, name, language,
    // bytes). Made before any file is touched, so that a refusal leaves every file as it was.
    struct TResourceBytes;
    std::vector<TResourceBytes> LibraryResources(bool withNamesAndComments);

    TEvLogEventType FEventType = etApplication;
    std::wstring FEventSource;
    bool FUseCategories = false;
    std::wstring FCompanyName;
    std::wstring FFileDescription;
    std::wstring FLegalCopyright;
    std::wstring FLegalTrademarks;
    std::wstring FProductName;
    std::wstring FProductVersion;
    int32_t FMajorVersion = 0;
    int32_t FMinorVersion = 0;
    int32_t FRelease = 0;
    int32_t FBuild = 0;
    std::vector<TComPtr<IEvLogDocumentView>> FViews;
    TMessageTable FMessageTable{this};
    std::vector<uint32_t> FUsedLocales{DefaultLocale};
    std::wstring FFileName = SUntitled;
    bool FModified = false;
    int FUpdatesLevel = 0;
    TEvLogDocumentChanges FChanges;
    TMessageBlock* FChangedMessageBlock = nullptr;
    // A block deleted inside the batch may be the pending one: the batch then names no block.
    bool FBlockDeletedInBatch = false;
    std::unique_ptr<TVersionInfo> FVersionInfo;
    TStringTable FAttributes;
};

} // namespace tamrel::evlog
