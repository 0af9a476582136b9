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

// "$" and the id in upper-case hexadecimal, at least two digits: how a message's id is shown.
std::wstring MessageIdText(uint64_t id);
// The default name of the message Id in a block of that prefix: Prefix + "_Message_" + the id in
// hexadecimal, at least two digits.
std::wstring DefaultMessageName(const std::wstring& prefix, uint64_t id);

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
    // Whether message Index has a name of its own, not the default one.
    bool HasName(int index) const;
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

    // The checks of an edit before it is made; each answers why the edit cannot be made, or
    // nothing when it can. Every name is a constant of the one generated unit and every id a
    // message of the one library, whichever block holds it: the other blocks are those of the
    // owner's table.
    //
    // Count messages from LowId as the block's ids: they must stay below 0xFFFFFFFF and clear of
    // the ids of every other block (an empty block holds none).
    std::wstring RangeError(uint32_t lowId, uint64_t count) const;
    // Name as the name of message Index: one the generated unit can declare (SymbolNameError),
    // and no other message's name, its own or its default one (Pascal ignores case).
    std::wstring NameError(int index, const std::wstring& name) const;
    // Prefix and LowId as the block's, with Count messages (those past the block's end are new and
    // unnamed): no default name they give may be another message's name.
    std::wstring DefaultNamesError(uint32_t lowId, const std::wstring& prefix, int count) const;
    // One more message at the end of the block: its id and its default name must be free.
    std::wstring AddError() const;

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

    // Each block of the data fills the block of the table that holds its ids, its LowId assigned
    // again (which resets the prefix): the resources of a library need not share one layout (a
    // message compiler writes a language's blocks from its own messages), so a block that shares
    // ids with several of the table's joins them into one, and one that shares none is appended.
    // Malformed data raises; what was read before stays.
    void LoadMessagesResourceData(uint32_t locale, const void* data, uint32_t size);
    // The writers raise when two blocks share ids (RangeError of each block): the system's
    // look-up would answer the first block's text for them.
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
    // The block to hold ids Low to High, covering them (see LoadMessagesResourceData).
    TMessageBlock* BlockForIds(uint32_t low, uint32_t high);
    void SavePart(TPart part, const TEvLogSetDataProc& setData);

    TEvLogDocument* FDocument;
    TOwnedList<TMessageBlock> FBlocks;
    uint32_t FCurrentLocale = 0;
};

} // namespace tamrel::evlog
