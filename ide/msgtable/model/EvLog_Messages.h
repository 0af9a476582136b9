// The message table in memory: blocks of consecutive message ids, each message with one text
// per locale, a symbolic name and a comment; and its MESSAGETABLE resources (the texts of one
// locale, the names, the comments).
#pragma once

#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/OwnedList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::evlog {

class TEvLogDocument;
class TMessageTable;

inline constexpr wchar_t SCommentNotSpecified[] = L"Comment is not specified yet";

// A run of consecutive ids from LowId. Every per-locale list, the names and the comments hold
// exactly Count entries; message i has the id LowId + i.
class TMessageBlock {
public:
    // With an owner the block appends itself to the owner's blocks, and leaves them when freed.
    explicit TMessageBlock(TMessageTable* owner = nullptr);
    TMessageBlock(const TMessageBlock&) = delete;
    TMessageBlock& operator=(const TMessageBlock&) = delete;
    ~TMessageBlock();

    TMessageTable* Owner() const { return FOwner; }
    // LCIDs in the order of their first use.
    const std::vector<uint32_t>& Locales() const { return FLocales; }
    int Count() const { return FCount; }

    // Reading adds the locale when it is new. Writing adds messages up to Index first.
    std::wstring Messages(uint32_t locale, int index);
    void SetMessages(uint32_t locale, int index, const std::wstring& value);
    // The stored name, or the default: MessageNamePrefix + "_Message_" + the id in hexadecimal.
    std::wstring Names(int index) const;
    std::wstring DefaultName(int index) const;
    void SetNames(int index, const std::wstring& value);
    const std::wstring& Comments(int index) const;
    void SetComments(int index, const std::wstring& value);
    // Lines of the text split at CR, LF or CR LF; an empty text has none.
    int MessageRows(uint32_t locale, int index);

    uint32_t HighId() const { return FLowId + static_cast<uint32_t>(FCount) - 1; }
    // No text of any locale holds more than blanks and control characters.
    bool IsEmpty() const;

    void Add();
    void Insert(int index);
    void Delete(int index);
    // The index of the locale in Locales, adding it when it is new.
    int UseLocale(uint32_t locale);
    void UseLocales(const std::vector<uint32_t>& locales);

    uint32_t LowId() const { return FLowId; }
    // Also resets MessageNamePrefix to "Block_" + LowId in 4-digit hexadecimal.
    void SetLowId(uint32_t value);
    const std::wstring& MessageNamePrefix() const { return FMessageNamePrefix; }
    void SetMessageNamePrefix(const std::wstring& value) { FMessageNamePrefix = value; }

    // Shown in the editor's block list; no file keeps it.
    const std::wstring& Comment() const { return FComment; }
    void SetComment(const std::wstring& value) { FComment = value; }
    // View state the editor keeps with the block.
    uint32_t SelectedLocaleId() const { return FSelectedLocaleId; }
    void SetSelectedLocaleId(uint32_t value) { FSelectedLocaleId = value; }
    int SelectedMessageIndex() const { return FSelectedMessageIndex; }
    void SetSelectedMessageIndex(int value) { FSelectedMessageIndex = value; }

private:
    void CheckIndex(int index) const;
    void InsertAt(int index);

    TMessageTable* FOwner;
    std::vector<uint32_t> FLocales;
    std::vector<std::vector<std::wstring>> FLocaleMessages;
    std::vector<std::wstring> FNames;
    std::vector<std::wstring> FComments;
    int FCount = 0;
    uint32_t FLastLocale = 0;
    int FLastLocaleIdx = -1;
    std::wstring FComment;
    uint32_t FLowId = 0;
    std::wstring FMessageNamePrefix;
    uint32_t FSelectedLocaleId = 0;
    int FSelectedMessageIndex = 0;
};

class TMessageTable {
public:
    explicit TMessageTable(TEvLogDocument* document = nullptr) : FDocument(document) {}
    TMessageTable(const TMessageTable&) = delete;
    TMessageTable& operator=(const TMessageTable&) = delete;
    ~TMessageTable();

    TEvLogDocument* Document() const { return FDocument; }
    int BlockCount() const { return FBlocks.Count(); }
    // An index at or beyond BlockCount first appends empty blocks up to it.
    TMessageBlock* Blocks(int index);
    // Frees the blocks, the last first.
    void Clear();
    uint32_t CurrentLocale() const { return FCurrentLocale; }

    // Block k of the data fills block k of the table (its LowId assigned, messages added as
    // needed). Malformed data raises; what was read before stays.
    void LoadMessagesResourceData(uint32_t locale, const void* data, uint32_t size);
    void SaveMessagesResourceData(uint32_t locale, const TEvLogSetDataProc& setData);
    void LoadNamesResourceData(const void* data, uint32_t size);
    // Default names are written out.
    void SaveNamesResourceData(const TEvLogSetDataProc& setData);
    void LoadCommentsResourceData(const void* data, uint32_t size);
    void SaveCommentsResourceData(const TEvLogSetDataProc& setData);

private:
    friend class TMessageBlock;
    enum class TPart { Messages, Names, Comments };
    void LoadPart(TPart part, const void* data, uint32_t size);
    void SavePart(TPart part, const TEvLogSetDataProc& setData);

    TEvLogDocument* FDocument;
    TOwnedList<TMessageBlock> FBlocks;
    uint32_t FCurrentLocale = 0;
};

} // namespace tamrel::evlog
