#include "ide/msgtable/model/EvLog_Document.h"

#include "host/ExceptionBoundary.h"
#include "host/Handles.h"
#include "host/IniFiles.h"
#include "host/Streams.h"
#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/EvLog_LibraryTemplate.h"
#include "ide/msgtable/model/EvLog_Locales.h"
#include "ide/msgtable/model/EvLog_PEImage.h"
#include "ide/msgtable/model/EvLog_ResResources.h"
#include "ide/msgtable/model/core/ElpText.h"

#include <algorithm>
#include <atomic>
#include <unordered_set>

namespace tamrel::evlog {

namespace {

// Key texts of the .ELP format.
const wchar_t SElpHeader[] = L"; ELM Format - version 1.0";
const wchar_t SCommon[] = L"Common";
const wchar_t SCompanyName[] = L"CompanyName";
const wchar_t SFileDescription[] = L"FileDescription";
const wchar_t SLegalCopyright[] = L"LegalCopyright";
const wchar_t SLegalTrademarks[] = L"LegalTrademarks";
const wchar_t SProductName[] = L"ProductName";
const wchar_t SProductVersion[] = L"ProductVersion";
const wchar_t SMajorVersion[] = L"MajorVersion";
const wchar_t SMinorVersion[] = L"MinorVersion";
const wchar_t SRelease[] = L"Release";
const wchar_t SBuild[] = L"Build";
const wchar_t SUseCategories[] = L"UseCategories";
const wchar_t SEventType[] = L"EventType";

// The most messages one block of a .ELP file may declare.
constexpr uint64_t kMaxElpBlockMessages = 65536;

std::wstring Quoted(const std::wstring& value) { return ToWide(msgcore::IniQuote(ToU16(value))); }
std::wstring Escaped(const std::wstring& text) {
    return ToWide(msgcore::IniQuote(msgcore::EscapeElpText(ToU16(text))));
}

// One section of a .ELP file, read in one go.
class TElpSection {
public:
    TElpSection(const TIniFile& ini, const std::wstring& name) {
        for (const std::wstring& line : ini.ReadSectionLines(name)) FSection.AddLine(ToU16(line));
    }
    std::wstring String(const std::wstring& key) const { return ToWide(FSection.Value(ToU16(key))); }
    // Entry I of a numbered section: as written, or unescaped (texts and comments).
    std::wstring Entry(int i) const {
        const std::u16string* value = FSection.FindNumber(static_cast<uint32_t>(i));
        return value ? ToWide(*value) : std::wstring();
    }
    std::wstring Text(int i) const {
        const std::u16string* value = FSection.FindNumber(static_cast<uint32_t>(i));
        return value ? ToWide(msgcore::UnescapeElpText(*value)) : std::wstring();
    }
    int32_t Integer(const std::wstring& key, int32_t def) const { return StrToIntDef(String(key), def); }
    std::vector<std::wstring> Keys() const {
        std::vector<std::wstring> keys;
        for (const auto& key : FSection.Keys()) keys.push_back(ToWide(key));
        return keys;
    }

private:
    msgcore::IniSection FSection;
};

} // namespace

TEvLogDocument::TEvLogDocument() = default;

TEvLogDocument::TEvLogDocument(const std::wstring& fileName) : FFileName(fileName) {}

TEvLogDocument::~TEvLogDocument() { FMessageTable.Clear(); }

// ---------------------------------------------------------------------------------------------
// Properties

void TEvLogDocument::SetEventType(TEvLogEventType value) {
    FEventType = value;
    Update({eldcEventSource}, nullptr);
}

void TEvLogDocument::SetEventSource(const std::wstring& value) {
    FEventSource = value;
    Update({eldcEventSource}, nullptr);
}

void TEvLogDocument::SetUseCategories(bool value) {
    FUseCategories = value;
    Update({eldcUseCategories}, nullptr);
}

void TEvLogDocument::SetUsedLocales(const std::vector<uint32_t>& value) {
    FUsedLocales = value.empty() ? std::vector<uint32_t>{DefaultLocale} : value;
    for (int i = 0; i < FMessageTable.BlockCount(); ++i) FMessageTable.Blocks(i)->UseLocales(FUsedLocales);
    Update({eldcUsedLocales}, nullptr);
}

void TEvLogDocument::SetVersionText(std::wstring& field, const std::wstring& value) {
    field = value;
    FModified = true;
}

void TEvLogDocument::SetVersionNumber(int32_t& field, int32_t value) {
    field = std::max(value, 0);
    FModified = true;
}

std::wstring TEvLogDocument::ShortFileName() const { return ExtractFileName(FFileName); }

// ---------------------------------------------------------------------------------------------
// Views and batches

void TEvLogDocument::AddView(IEvLogDocumentView* view) { FViews.emplace_back(view); }

void TEvLogDocument::RemoveView(IEvLogDocumentView* view) {
    auto it = std::find_if(FViews.begin(), FViews.end(), [view](const auto& v) { return v.Get() == view; });
    if (it != FViews.end()) FViews.erase(it);
}

IEvLogDocumentView* TEvLogDocument::Views(int index) const {
    if (index < 0 || index >= ViewCount()) throw EListError(SListIndexError, index);
    return FViews[index].Get();
}

void TEvLogDocument::Deliver(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    // A view may leave the document while it is told: the copy keeps each one alive for its call.
    const std::vector<TComPtr<IEvLogDocumentView>> views = FViews;
    for (const auto& view : views) view->DocumentChanged(changes, mb);
}

void TEvLogDocument::Update(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    FModified = true;
    if (FUpdatesLevel == 0) {
        Deliver(changes, mb);
        return;
    }
    FChanges = FChanges + changes;
    if (changes.Contains(eldcBlockDeleted)) FBlockDeletedInBatch = true;
    if (FBlockDeletedInBatch) FChangedMessageBlock = nullptr;
    else if (FChangedMessageBlock && mb && mb != FChangedMessageBlock) FChanges.Include(eldcMultiBlocks);
    else FChangedMessageBlock = mb;
}

void TEvLogDocument::EndUpdate() {
    if (FUpdatesLevel == 0) return;
    if (--FUpdatesLevel > 0) return;
    const TEvLogDocumentChanges changes = FChanges;
    TMessageBlock* mb = changes.Contains(eldcMultiBlocks) ? nullptr : FChangedMessageBlock;
    FChanges = {};
    FChangedMessageBlock = nullptr;
    FBlockDeletedInBatch = false;
    Deliver(changes, mb);
}

// ---------------------------------------------------------------------------------------------
// Blocks and messages

TMessageBlock* TEvLogDocument::AddBlock() {
    // On 64 bits: past the last id the next range would wrap round to the ids of the first blocks.
    uint64_t candidate = 0;
    for (int i = 0; i < FMessageTable.BlockCount(); ++i) {
        TMessageBlock* block = FMessageTable.Blocks(i);
        if (i == 0) candidate = block->LowId();
        if (block->LowId() >= candidate)
            candidate =
                block->LowId() + static_cast<uint64_t>(block->Count()) + (block->Count() == 0 ? 1 : 0);
    }
    const uint64_t lowId = FMessageTable.BlockCount() == 0 ? 256 : (candidate / 256 + 1) * 256;
    if (lowId > 0xFFFFFFFFu)
        throw Exception(
            L"A new block would start after the last message ID FFFFFFFF: no IDs are left after the blocks");
    auto block = std::make_unique<TMessageBlock>(&FMessageTable);
    block->SetLowId(static_cast<uint32_t>(lowId));
    if (std::wstring error = block->DefaultNamesError(block->LowId(), block->MessageNamePrefix(), 1);
        !error.empty())
        throw Exception(error);
    block->UseLocales(FUsedLocales);
    block->SetMessages(FUsedLocales.front(), 0, L"");
    TMessageBlock* added = block.release(); // the table owns it
    Update({eldcBlockAdded}, added);
    return added;
}

void TEvLogDocument::DeleteBlock(TMessageBlock* mb) {
    if (!mb) return;
    Update({eldcBlockDeleted}, mb);
    delete mb;
}

void TEvLogDocument::ModifyBlock(TMessageBlock* mb) {
    if (!mb) return;
    Update({eldcBlockModified}, mb);
    SetUseCategories(FUseCategories);
}

void TEvLogDocument::AddMessage(TMessageBlock* mb) {
    if (!mb) return;
    if (std::wstring error = mb->AddError(); !error.empty()) throw Exception(error);
    mb->Add();
    Update({eldcBlockModified}, mb);
}

void TEvLogDocument::DeleteMessage(TMessageBlock* mb, int index) {
    if (!mb) return;
    if (mb->Count() > 1) {
        mb->Delete(index);
        Update({eldcBlockModified}, mb);
    } else {
        DeleteBlock(mb);
    }
}

void TEvLogDocument::ModifyMessages(TMessageBlock* mb) {
    if (!mb) return;
    Update({eldcBlockModified}, mb);
}

TMessageBlock* TEvLogDocument::CategoriesBlock() {
    for (int i = 0; i < FMessageTable.BlockCount(); ++i)
        if (FMessageTable.Blocks(i)->LowId() == 1) return FMessageTable.Blocks(i);
    auto* block = new TMessageBlock(&FMessageTable);
    block->SetLowId(1);
    block->UseLocales(FUsedLocales);
    block->SetMessages(FUsedLocales.front(), 0, L"");
    block->SetMessageNamePrefix(L"Category");
    return block;
}

// ---------------------------------------------------------------------------------------------
// Files

namespace {

// False, with the reason for the caller that asked for it.
bool Refused(std::wstring* reason, std::wstring text) {
    if (reason) *reason = std::move(text);
    return false;
}

// A file read whole that holds nothing of a message library.
constexpr wchar_t SNothingTaken[] =
    L"Unable to load messages from file\r\n%s\r\nThe file holds no resource of a message library";

} // namespace

bool TEvLogDocument::Open(const std::wstring& name, const std::wstring& /*eventSource*/,
                          const std::wstring& /*sourceKind*/, std::wstring* reason) {
    const std::wstring fileName = ExpandFileName(name);
    FMessageTable.Clear();
    FFileName = fileName;
    TScopeExit notModified([this] { FModified = false; });
    const std::wstring ext = UpperCase(ExtractFileExt(fileName));
    try {
        if (ext == L".ELP") {
            LoadElp(fileName);
            return true;
        }
        bool taken = false;
        if (ext == L".RES")
            taken = ImportResFile(fileName);
        else if (ext == L".DLL" || ext == L".EXE")
            taken = ImportImage(fileName);
        else
            return Refused(reason, Format(SUnableToLoad, fileName));
        return taken || Refused(reason, Format(SNothingTaken, fileName));
    } catch (const std::exception&) {
        return Refused(reason, ExceptionMessage(std::current_exception()));
    }
}

bool TEvLogDocument::Save(std::wstring* reason) {
    if (FileExists(FFileName)) {
        TFileStream source(FFileName, fmOpenRead | fmShareDenyWrite);
        TFileStream backup(ChangeFileExt(FFileName, L".bak"), fmCreate);
        backup.CopyFrom(source, 0);
    }
    return SaveAs(FFileName, reason);
}

bool TEvLogDocument::SaveAs(const std::wstring& name, std::wstring* reason) {
    const std::wstring fileName = ExpandFileName(name);
    const std::wstring ext = UpperCase(ExtractFileExt(fileName));
    try {
        if (ext == L".ELP")
            SaveElp(fileName);
        else if (ext == L".RES")
            ExportResFile(fileName);
        else if (ext == L".DLL")
            BuildLibrary(fileName);
        else
            return Refused(reason, Format(SUnableToSave, fileName));
    } catch (const std::exception&) {
        return Refused(reason, ExceptionMessage(std::current_exception()));
    }
    FModified = false;
    FFileName = fileName;
    return true;
}

bool TEvLogDocument::ExportLibrary(const std::wstring& fileName, std::wstring* reason) {
    try {
        BuildLibrary(ExpandFileName(fileName));
        return true;
    } catch (const std::exception&) {
        return Refused(reason, ExceptionMessage(std::current_exception()));
    }
}

bool TEvLogDocument::BuildProject(std::wstring* reason) {
    if (!FileExists(FFileName) && !Save(reason)) return false;
    return ExportLibrary(ChangeFileExt(FFileName, L".dll"), reason);
}

// ---------------------------------------------------------------------------------------------
// .ELP text

void TEvLogDocument::SaveElp(const std::wstring& fileName) {
    TStringList lines;
    lines.Add(SElpHeader);
    lines.Add(L"");
    lines.Add(L"[" + std::wstring(SCommon) + L"]");
    lines.Add(Format(L"BlocksCount=%d", FMessageTable.BlockCount()));
    lines.Add(L"EventSource=" + Quoted(FEventSource));
    const std::pair<const wchar_t*, const std::wstring*> texts[] = {
        {SCompanyName, &FCompanyName},       {SFileDescription, &FFileDescription}, {SLegalCopyright, &FLegalCopyright},
        {SLegalTrademarks, &FLegalTrademarks}, {SProductName, &FProductName},     {SProductVersion, &FProductVersion}};
    for (const auto& [key, value] : texts) lines.Add(Format(L"%s=%s", key, Quoted(*value)));
    const std::pair<const wchar_t*, int32_t> numbers[] = {{SMajorVersion, FMajorVersion},
                                                          {SMinorVersion, FMinorVersion},
                                                          {SRelease, FRelease},
                                                          {SBuild, FBuild},
                                                          {SUseCategories, FUseCategories ? 1 : 0},
                                                          {SEventType, static_cast<int32_t>(FEventType)}};
    for (const auto& [key, value] : numbers) lines.Add(Format(L"%s=%d", key, value));
    lines.Add(L"");

    lines.Add(L"[UsedLocales]");
    for (uint32_t lcid : FUsedLocales) {
        const TLocale* locale = FindLocale(lcid);
        lines.Add(Format(L"%d=%s", static_cast<int32_t>(lcid), Quoted(locale ? locale->DisplayText() : L"")));
    }
    lines.Add(L"");

    const int blockCount = FMessageTable.BlockCount();
    for (int b = 0; b < blockCount; ++b) {
        TMessageBlock* block = FMessageTable.Blocks(b);
        lines.Add(Format(L"[Block-%d]", b));
        lines.Add(Format(L"LowId=%d", static_cast<int32_t>(block->LowId())));
        lines.Add(Format(L"HighId=%d", static_cast<int32_t>(block->HighId())));
        lines.Add(L"MessageNamePrefix=" + Quoted(block->MessageNamePrefix()));
        lines.Add(L"");
    }
    for (int b = 0; b < blockCount; ++b) {
        TMessageBlock* block = FMessageTable.Blocks(b);
        for (uint32_t lcid : FUsedLocales) {
            lines.Add(Format(L"[Block-%d-Locale-%d]", b, static_cast<int32_t>(lcid)));
            for (int i = 0; i < block->Count(); ++i) lines.Add(Format(L"%d=%s", i, Escaped(block->Messages(lcid, i))));
            lines.Add(L"");
        }
        lines.Add(Format(L"[Block-%d-Comments]", b));
        for (int i = 0; i < block->Count(); ++i) lines.Add(Format(L"%d=%s", i, Escaped(block->Comments(i))));
        lines.Add(L"");
        lines.Add(Format(L"[Block-%d-Names]", b));
        for (int i = 0; i < block->Count(); ++i) lines.Add(Format(L"%d=%s", i, Quoted(block->Names(i))));
        lines.Add(L"");
    }
    // ANSI as long as every text fits the code page; otherwise the whole file in UTF-16, which
    // the system's INI reader takes as well.
    lines.SaveToFile(fileName, FitsCodePage(lines.Text()) ? TTextEncoding::Ansi : TTextEncoding::Utf16LE);
}

void TEvLogDocument::LoadElp(const std::wstring& fileName) {
    const TIniFile ini(fileName);
    const TElpSection common(ini, SCommon);
    SetEventSource(common.String(L"EventSource"));
    const int32_t blockCount = common.Integer(L"BlocksCount", 0);
    SetUseCategories(common.Integer(SUseCategories, 0) == 1);

    std::vector<uint32_t> locales;
    for (const std::wstring& key : TElpSection(ini, L"UsedLocales").Keys()) {
        int32_t lcid;
        if (TryStrToInt(key, lcid)) locales.push_back(static_cast<uint32_t>(lcid));
    }
    SetUsedLocales(locales);

    std::unordered_set<std::wstring> sections;
    for (const std::wstring& name : ini.ReadSections()) sections.insert(UpperCase(name));
    for (int32_t b = 0; b < blockCount; ++b)
        if (!sections.count(UpperCase(Format(L"Block-%d", b))))
            throw Exception(L"The file declares %d blocks, but block %d is missing", blockCount, b);

    for (int32_t b = 0; b < blockCount; ++b) {
        const TElpSection head(ini, Format(L"Block-%d", b));
        const uint32_t lowId = static_cast<uint32_t>(head.Integer(L"LowId", 0));
        TMessageBlock* block = lowId == 1 ? CategoriesBlock() : new TMessageBlock(&FMessageTable);
        while (block->Count() > 0) block->Delete(block->Count() - 1);
        const uint32_t highId = static_cast<uint32_t>(head.Integer(L"HighId", 0));
        // HighId - LowId + 1 messages, counted on 32 bits so that an empty block at id 0
        // (HighId written as -1) is 0 messages.
        const uint32_t count = highId - lowId + 1;
        if (count > kMaxElpBlockMessages)
            throw Exception(L"Block %d runs from id %u to id %u: not a valid block", b, lowId, highId);
        block->SetLowId(lowId);
        block->SetMessageNamePrefix(head.String(L"MessageNamePrefix"));
        for (uint32_t lcid : FUsedLocales) {
            const TElpSection texts(ini, Format(L"Block-%d-Locale-%d", b, static_cast<int32_t>(lcid)));
            for (int i = 0; i < static_cast<int>(count); ++i)
                block->SetMessages(lcid, i, texts.Text(i));
        }
        const TElpSection comments(ini, Format(L"Block-%d-Comments", b));
        const TElpSection names(ini, Format(L"Block-%d-Names", b));
        for (int i = 0; i < block->Count(); ++i) {
            block->SetComments(i, comments.Text(i));
            block->SetNames(i, names.Entry(i));
        }
    }

    SetCompanyName(common.String(SCompanyName));
    SetFileDescription(common.String(SFileDescription));
    SetLegalCopyright(common.String(SLegalCopyright));
    SetLegalTrademarks(common.String(SLegalTrademarks));
    SetProductName(common.String(SProductName));
    SetProductVersion(common.String(SProductVersion));
    SetMajorVersion(common.Integer(SMajorVersion, 0));
    SetMinorVersion(common.Integer(SMinorVersion, 0));
    SetRelease(common.Integer(SRelease, 0));
    SetBuild(common.Integer(SBuild, 0));
    const int32_t eventType = common.Integer(SEventType, 0);
    SetEventType(eventType >= etApplication && eventType <= etSecurity ? static_cast<TEvLogEventType>(eventType)
                                                                        : etApplication);
}

// ---------------------------------------------------------------------------------------------
// Version and attributes resources

namespace {

const wchar_t SStringTableKey[] = L"040904E4";
const uint32_t kTranslation = 0x04E40409; // language 0x0409, code page 1252
const wchar_t SAttributesName[] = L"EVLOG_ATTRIBUTES";
const wchar_t SNamesType[] = L"EVLOG_NAMES";
const wchar_t SCommentsType[] = L"EVLOG_COMMENTS";
const uint16_t kRtRcdata = 10, kRtMessageTable = 11, kRtVersion = 16;

// A part of the file version: a 16-bit word of the fixed part. A larger value would spill into
// its neighbour and come back changed.
uint32_t VersionWord(int32_t value, const wchar_t* field) {
    if (value > 0xFFFF) throw Exception(L"%s is %d: a part of the file version cannot exceed 65535", field, value);
    return static_cast<uint32_t>(value);
}

// A language given as a number or as a text that converts to one.
bool LanguageOf(const TResIdText& id, uint32_t& language) {
    if (!id.IsString()) {
        language = id.ID();
        return true;
    }
    int32_t value;
    if (!TryStrToInt(id.Text(), value)) return false;
    language = static_cast<uint32_t>(value);
    return true;
}

bool IsNumber(const TResIdText& id, uint32_t number) { return !id.IsString() && id.ID() == number; }
bool IsText(const TResIdText& id, const wchar_t* text) { return id.IsString() && id.Text() == text; }

} // namespace

TVersionInfo& TEvLogDocument::VersionInfo() {
    auto info = std::make_unique<TVersionInfo>();
    info->SetIsFixedFileInfo(true);
    VS_FIXEDFILEINFO& fixed = info->FixedFileInfo();
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = VersionWord(FMajorVersion, SMajorVersion) << 16 | VersionWord(FMinorVersion, SMinorVersion);
    fixed.dwFileVersionLS = VersionWord(FRelease, SRelease) << 16 | VersionWord(FBuild, SBuild);
    fixed.dwProductVersionMS = 0x00010000;
    fixed.dwProductVersionLS = 0;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileFlags = 0;
    fixed.dwFileOS = VOS__WINDOWS32;
    fixed.dwFileType = VFT_DLL;
    fixed.dwFileSubtype = 0;
    fixed.dwFileDateMS = 0;
    fixed.dwFileDateLS = 0;

    info->SetIsStringFileInfo(true);
    TStringTable* table = info->StringFileInfo().Add(std::make_unique<TStringTable>());
    table->SetKey(SStringTableKey);
    const std::pair<const wchar_t*, std::wstring> strings[] = {
        {SCompanyName, FCompanyName},
        {SFileDescription, FFileDescription},
        {L"FileVersion", Format(L"%d.%d.%d.%d", FMajorVersion, FMinorVersion, FRelease, FBuild)},
        {L"InternalName", L""},
        {SLegalCopyright, FLegalCopyright},
        {SLegalTrademarks, FLegalTrademarks},
        {L"OriginalFilename", ChangeFileExt(ExtractFileName(FFileName), L".dll")},
        {SProductName, FProductName},
        {SProductVersion, FProductVersion},
        {L"Comments", L""}};
    for (const auto& [key, value] : strings) table->Add(std::make_unique<TString>(key, value));

    info->SetIsVarFileInfo(true);
    info->VarFileInfo().Add(std::make_unique<TVar>())->Add(kTranslation);
    FVersionInfo = std::move(info);
    return *FVersionInfo;
}

void TEvLogDocument::SetVersionInfo(const TVersionInfo& value) {
    std::wstring* const texts[] = {&FCompanyName, &FFileDescription, &FLegalCopyright, &FLegalTrademarks, &FProductName,
                                   &FProductVersion};
    const wchar_t* const keys[] = {SCompanyName, SFileDescription, SLegalCopyright, SLegalTrademarks, SProductName,
                                   SProductVersion};
    for (std::wstring* text : texts) SetVersionText(*text, L"");
    for (int32_t* number : {&FMajorVersion, &FMinorVersion, &FRelease, &FBuild}) SetVersionNumber(*number, 0);
    if (value.IsFixedFileInfo()) {
        const VS_FIXEDFILEINFO& fixed = value.FixedFileInfo();
        SetMajorVersion(HIWORD(fixed.dwFileVersionMS));
        SetMinorVersion(LOWORD(fixed.dwFileVersionMS));
        SetRelease(HIWORD(fixed.dwFileVersionLS));
        SetBuild(LOWORD(fixed.dwFileVersionLS));
    }
    if (!value.IsStringFileInfo() || value.StringFileInfo().Count() == 0) return;
    const TStringTable* table = value.StringFileInfo().Items(0);
    for (int i = 0; i < table->Count(); ++i)
        for (size_t k = 0; k < std::size(keys); ++k)
            if (table->Items(i)->Key() == keys[k]) SetVersionText(*texts[k], table->Items(i)->Value());
}

TStringTable& TEvLogDocument::Attributes() {
    const std::wstring categories = FUseCategories ? IntToStr(CategoriesBlock()->Count()) : L"0";
    FAttributes.Clear();
    FAttributes.SetKey(L"");
    FAttributes.Add(std::make_unique<TString>(SEventType, EventLogName(FEventType)));
    FAttributes.Add(std::make_unique<TString>(L"EventSource", FEventSource));
    FAttributes.Add(std::make_unique<TString>(L"CategoryCount", categories));
    return FAttributes;
}

// ---------------------------------------------------------------------------------------------
// .RES files and images in

bool TEvLogDocument::TakeResource(const TResIdText& type, const TResIdText& name, const uint8_t* data, uint32_t size,
                                  const TResIdText& language) {
    uint32_t lcid;
    if (IsNumber(type, kRtMessageTable) && IsNumber(name, 1)) {
        if (!LanguageOf(language, lcid)) return false;
        if (std::find(FUsedLocales.begin(), FUsedLocales.end(), lcid) == FUsedLocales.end())
            FUsedLocales.push_back(lcid);
        FMessageTable.LoadMessagesResourceData(lcid, data, size);
        return true;
    }
    if (IsNumber(type, kRtVersion) && IsNumber(name, 1)) {
        if (!LanguageOf(language, lcid) || lcid != DefaultLocale) return false;
        TVersionInfo version;
        version.LoadFrom(data, size); // another key leaves the tree empty: the fields become empty
        SetVersionInfo(version);
        return true;
    }
    if (IsText(type, SNamesType) && IsNumber(name, 1)) {
        FMessageTable.LoadNamesResourceData(data, size);
        return true;
    }
    if (IsText(type, SCommentsType) && IsNumber(name, 1)) {
        FMessageTable.LoadCommentsResourceData(data, size);
        return true;
    }
    if (IsNumber(type, kRtRcdata) && IsText(name, SAttributesName)) {
        TStringTable attributes;
        attributes.LoadFrom(data, size);
        for (int i = 0; i < attributes.Count(); ++i) {
            const std::wstring& key = attributes.Items(i)->Key();
            const std::wstring& value = attributes.Items(i)->Value();
            if (key == SEventType) {
                TEvLogEventType journal = etApplication;
                for (TEvLogEventType t : {etApplication, etSystem, etSecurity})
                    if (value == EventLogName(t)) journal = t;
                SetEventType(journal);
            } else if (key == L"EventSource") {
                SetEventSource(value);
            } else if (key == L"CategoryCount") {
                SetUseCategories(StrToIntDef(value, 0) > 0);
            }
        }
        return true;
    }
    return false;
}

bool TEvLogDocument::ImportResFile(const std::wstring& fileName) {
    FUsedLocales.clear();
    // Whatever happens, the document ends with its locales in every block, never with none.
    TScopeExit locales([this] { SetUsedLocales(std::vector<uint32_t>(FUsedLocales)); });
    TRESResources resources;
    resources.LoadFromFile(fileName);
    bool taken = false;
    for (int i = 0; i < resources.Count(); ++i) {
        TRESResource* e = resources.Items(i);
        taken = TakeResource(e->ResType(), e->ResName(), e->Data(), e->DataSize(), e->ResLocale()) || taken;
    }
    return taken;
}

bool TEvLogDocument::ImportImage(const std::wstring& fileName) {
    FMessageTable.Clear();
    FUsedLocales.clear();
    TScopeExit locales([this] { SetUsedLocales(std::vector<uint32_t>(FUsedLocales)); });
    TPEImage image;
    image.Load(fileName);
    TPEResourceDirectory root;
    image.GetResourceDirectory(root);
    bool taken = false;
    // Type, name and language levels; a leaf above the language level or a directory at it is
    // no resource and is passed over.
    for (int t = 0; t < root.Count(); ++t) {
        auto* type = dynamic_cast<TPEResourceDirectory*>(root.Items(t));
        for (int n = 0; type && n < type->Count(); ++n) {
            auto* name = dynamic_cast<TPEResourceDirectory*>(type->Items(n));
            for (int l = 0; name && l < name->Count(); ++l) {
                auto* leaf = dynamic_cast<TPEResourceData*>(name->Items(l));
                if (leaf)
                    taken = TakeResource(type->IdName(), name->IdName(), leaf->Data(), leaf->DataSize(), leaf->IdName()) ||
                            taken;
            }
        }
    }
    return taken;
}

// ---------------------------------------------------------------------------------------------
// .RES files and message libraries out

struct TEvLogDocument::TResourceBytes {
    msgcore::ResourceId Type;
    msgcore::ResourceId Name;
    uint16_t Language;
    std::vector<uint8_t> Data;
};

std::vector<TEvLogDocument::TResourceBytes> TEvLogDocument::LibraryResources(bool withNamesAndComments) {
    using msgcore::ResourceId;
    std::vector<TResourceBytes> resources;
    auto add = [&](ResourceId type, ResourceId name, uint32_t language) -> TEvLogSetDataProc {
        resources.push_back({std::move(type), std::move(name), static_cast<uint16_t>(language), {}});
        const size_t index = resources.size() - 1;
        return [&resources, index](const void* data, int32_t size) {
            resources[index].Data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
        };
    };
    for (uint32_t lcid : FUsedLocales)
        FMessageTable.SaveMessagesResourceData(lcid, add(ResourceId::Number(kRtMessageTable), ResourceId::Number(1), lcid));
    if (withNamesAndComments) {
        FMessageTable.SaveNamesResourceData(add(ResourceId::String(u"EVLOG_NAMES"), ResourceId::Number(1), DefaultLocale));
        FMessageTable.SaveCommentsResourceData(
            add(ResourceId::String(u"EVLOG_COMMENTS"), ResourceId::Number(1), DefaultLocale));
    }
    VersionInfo().SaveTo(add(ResourceId::Number(kRtVersion), ResourceId::Number(1), DefaultLocale));
    Attributes().SaveTo(add(ResourceId::Number(kRtRcdata), ResourceId::String(ToU16(SAttributesName)), DefaultLocale));
    return resources;
}

void TEvLogDocument::ExportResFile(const std::wstring& fileName) {
    const std::vector<TResourceBytes> resources = LibraryResources(true);
    TRESResources out;
    new TRESResource(&out); // the empty entry that opens a 32-bit .RES file
    for (const TResourceBytes& r : resources) {
        auto* entry = new TRESResource(&out);
        AssignCoreId(entry->ResType(), r.Type);
        AssignCoreId(entry->ResName(), r.Name);
        entry->ResLocale().SetID(r.Language);
        entry->SetData(r.Data.data(), static_cast<int32_t>(r.Data.size()));
    }
    out.SaveToFile(fileName);
}

namespace {

std::vector<uint8_t> ResourceTemplate() {
    TPEImage image;
    image.LoadFromResource(L"ELTELIB");
    const auto* bytes = static_cast<const uint8_t*>(image.Image().Memory());
    return std::vector<uint8_t>(bytes, bytes + image.Image().Size());
}

std::atomic<TLibraryTemplateSource> GTemplateSource{ResourceTemplate};

// An id as UpdateResourceW takes it.
const wchar_t* ResourcePointer(const msgcore::ResourceId& id, std::wstring& text) {
    if (!id.IsString) return MAKEINTRESOURCEW(id.Id);
    text = ToWide(id.Name);
    return text.c_str();
}

} // namespace

TLibraryTemplateSource SetLibraryTemplateSource(TLibraryTemplateSource source) {
    return GTemplateSource.exchange(source ? source : ResourceTemplate);
}

// The library is made in a copy beside the target, which replaces the target only once every
// resource is in: a failure leaves the old library as it was and no copy behind.
void TEvLogDocument::BuildLibrary(const std::wstring& fileName) {
    const std::vector<TResourceBytes> resources = LibraryResources(false);
    const std::vector<uint8_t> image = GTemplateSource.load()();

    const std::wstring dir = ExtractFilePath(fileName);
    wchar_t copy[MAX_PATH];
    if (!GetTempFileNameW(dir.empty() ? L"." : dir.c_str(), L"elb", 0, copy)) RaiseLastOSError();
    TScopeExit removeCopy([&] { DeleteFileW(copy); });
    {
        TFileStream file(copy, fmCreate);
        file.WriteBuffer(image.data(), static_cast<int32_t>(image.size()));
    }
    TResourceUpdate update(BeginUpdateResourceW(copy, TRUE));
    if (!update) RaiseLastOSError();
    for (const TResourceBytes& r : resources) {
        std::wstring typeText, nameText;
        if (!UpdateResourceW(update.Get(), ResourcePointer(r.Type, typeText), ResourcePointer(r.Name, nameText),
                             r.Language, const_cast<uint8_t*>(r.Data.data()), static_cast<DWORD>(r.Data.size())))
            RaiseLastOSError();
    }
    if (!EndUpdateResourceW(update.Release(), FALSE)) RaiseLastOSError();
    if (!MoveFileExW(copy, fileName.c_str(), MOVEFILE_REPLACE_EXISTING)) RaiseLastOSError();
    removeCopy.Dismiss();
}

} // namespace tamrel::evlog
