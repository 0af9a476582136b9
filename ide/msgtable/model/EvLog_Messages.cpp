#include "ide/msgtable/model/EvLog_Messages.h"

#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/MessageTableCodec.h"

#include <algorithm>
#include <unordered_map>

namespace tamrel::evlog {

// ---------------------------------------------------------------------------------------------
// TMessageBlock

TMessageBlock::TMessageBlock(TMessageTable* owner) : FOwner(owner) {
    if (FOwner) FOwner->FBlocks.Join(this);
}

TMessageBlock::~TMessageBlock() {
    if (FOwner) FOwner->FBlocks.Leave(this);
}

void TMessageBlock::CheckIndex(int index) const {
    if (index < 0 || index >= FCount) throw EListError(SListIndexError, index);
}

std::wstring TMessageBlock::Messages(uint32_t locale, int index) {
    const int l = UseLocale(locale);
    CheckIndex(index);
    return FLocaleMessages[l][index];
}

void TMessageBlock::SetMessages(uint32_t locale, int index, const std::wstring& value) {
    if (index < 0) throw EListError(SListIndexError, index);
    while (index >= FCount) Add();
    FLocaleMessages[UseLocale(locale)][index] = value;
}

std::wstring TMessageBlock::Names(int index) const {
    CheckIndex(index);
    return FNames[index].empty() ? DefaultName(index) : FNames[index];
}

std::wstring TMessageBlock::DefaultName(int index) const {
    return DefaultMessageName(FMessageNamePrefix, FLowId + static_cast<uint32_t>(index));
}

bool TMessageBlock::HasName(int index) const {
    CheckIndex(index);
    return !FNames[index].empty();
}

void TMessageBlock::SetNames(int index, const std::wstring& value) {
    if (index < 0) throw EListError(SListIndexError, index);
    while (index >= FCount) Add();
    FNames[index] = value;
}

const std::wstring& TMessageBlock::Comments(int index) const {
    CheckIndex(index);
    return FComments[index];
}

void TMessageBlock::SetComments(int index, const std::wstring& value) {
    if (index < 0) throw EListError(SListIndexError, index);
    while (index >= FCount) Add();
    FComments[index] = value;
}

int TMessageBlock::MessageRows(uint32_t locale, int index) {
    const std::wstring text = Messages(locale, index);
    int rows = 0;
    for (size_t i = 0; i < text.size(); ++rows) {
        while (i < text.size() && text[i] != L'\r' && text[i] != L'\n') ++i;
        if (i < text.size() && text[i] == L'\r') ++i;
        if (i < text.size() && text[i] == L'\n') ++i;
    }
    return rows;
}

bool TMessageBlock::IsEmpty() const {
    for (const auto& texts : FLocaleMessages)
        for (const std::wstring& text : texts)
            if (!Trim(text).empty()) return false;
    return true;
}

void TMessageBlock::InsertAt(int index) {
    for (auto& texts : FLocaleMessages) texts.insert(texts.begin() + index, std::wstring());
    FNames.insert(FNames.begin() + index, std::wstring());
    FComments.insert(FComments.begin() + index, SCommentNotSpecified);
    ++FCount;
}

void TMessageBlock::Add() { InsertAt(FCount); }

void TMessageBlock::Insert(int index) {
    if (index < 0 || index > FCount) throw EListError(SListIndexError, index);
    InsertAt(index);
}

void TMessageBlock::Delete(int index) {
    CheckIndex(index);
    for (auto& texts : FLocaleMessages) texts.erase(texts.begin() + index);
    FNames.erase(FNames.begin() + index);
    FComments.erase(FComments.begin() + index);
    --FCount;
}

int TMessageBlock::UseLocale(uint32_t locale) {
    if (FLastLocaleIdx >= 0 && locale == FLastLocale) return FLastLocaleIdx;
    FLastLocale = locale;
    auto it = std::find(FLocales.begin(), FLocales.end(), locale);
    if (it != FLocales.end()) {
        FLastLocaleIdx = static_cast<int>(it - FLocales.begin());
    } else {
        FLocales.push_back(locale);
        FLocaleMessages.emplace_back(FCount);
        FLastLocaleIdx = static_cast<int>(FLocales.size()) - 1;
    }
    return FLastLocaleIdx;
}

void TMessageBlock::UseLocales(const std::vector<uint32_t>& locales) {
    for (uint32_t locale : locales) UseLocale(locale);
}

void TMessageBlock::SetLowId(uint32_t value) {
    FLowId = value;
    FMessageNamePrefix = L"Block_" + IntToHex(value, 4);
}

std::wstring MessageIdText(uint64_t id) { return L"$" + IntToHex(id, 2); }

std::wstring DefaultMessageName(const std::wstring& prefix, uint64_t id) {
    return prefix + L"_Message_" + IntToHex(id, 2);
}

namespace {

std::wstring IdRange(uint64_t low, uint64_t high) {
    return IntToHex(low, 4) + L" - " + IntToHex(high, 4);
}

} // namespace

std::wstring TMessageBlock::RangeError(uint32_t lowId, uint64_t count) const {
    if (count == 0) return {};
    const uint64_t high = lowId + count - 1;
    if (high > 0xFFFFFFFFu)
        return Format(L"The %u messages of the block starting at %s would pass the last message ID FFFFFFFF",
                      static_cast<uint32_t>(std::min<uint64_t>(count, 0xFFFFFFFFu)), IntToHex(lowId, 8));
    if (!FOwner) return {};
    for (const TMessageBlock* other : FOwner->FBlocks)
        if (other != this && other->Count() > 0 && lowId <= other->HighId() && other->LowId() <= high)
            return Format(L"The IDs %s overlap the block %s (%s)", IdRange(lowId, high),
                          other->MessageNamePrefix(), IdRange(other->LowId(), other->HighId()));
    return {};
}

std::wstring TMessageBlock::NameError(int index, const std::wstring& name) const {
    if (std::wstring error = SymbolNameError(name); !error.empty()) return error;
    // This block's messages first: the holder named is then the nearest one.
    auto holder = [&](const TMessageBlock& block) -> std::wstring {
        for (int j = 0; j < block.Count(); ++j)
            if ((&block != this || j != index) && SameText(block.Names(j), name))
                return Format(L"\"%s\" is the name of message %s already", name,
                              MessageIdText(block.LowId() + uint64_t(j)));
        return {};
    };
    if (std::wstring taken = holder(*this); !taken.empty()) return taken;
    if (FOwner)
        for (const TMessageBlock* other : FOwner->FBlocks)
            if (other != this)
                if (std::wstring taken = holder(*other); !taken.empty()) return taken;
    return {};
}

std::wstring TMessageBlock::DefaultNamesError(uint32_t lowId, const std::wstring& prefix, int count) const {
    // Every name that stays as it is, with the id of its message: the names of the other blocks
    // as they read, and the block's own names (its messages take their ids from LowId).
    std::unordered_map<std::wstring, uint64_t> taken;
    if (FOwner)
        for (const TMessageBlock* other : FOwner->FBlocks)
            if (other != this)
                for (int j = 0; j < other->Count(); ++j)
                    taken.emplace(UpperCase(other->Names(j)), other->LowId() + uint64_t(j));
    for (int j = 0; j < FCount; ++j)
        if (HasName(j)) taken.emplace(UpperCase(FNames[j]), lowId + uint64_t(j));
    for (int i = 0; i < count; ++i) {
        if (i < FCount && HasName(i)) continue;
        const uint64_t id = lowId + uint64_t(i);
        const std::wstring name = DefaultMessageName(prefix, id);
        if (auto it = taken.find(UpperCase(name)); it != taken.end())
            return Format(L"Message %s would be named %s, the name of message %s", MessageIdText(id), name,
                          MessageIdText(it->second));
    }
    return {};
}

std::wstring TMessageBlock::AddError() const {
    const uint64_t count = static_cast<uint64_t>(FCount) + 1;
    if (std::wstring error = RangeError(FLowId, count); !error.empty()) return error;
    return DefaultNamesError(FLowId, FMessageNamePrefix, FCount + 1);
}

// ---------------------------------------------------------------------------------------------
// TMessageTable

TMessageTable::~TMessageTable() { Clear(); }

TMessageBlock* TMessageTable::Blocks(int index) {
    if (index < 0) throw EListError(SListIndexError, index);
    while (index >= BlockCount()) new TMessageBlock(this);
    return FBlocks.Items(index);
}

void TMessageTable::Clear() { FBlocks.Clear(); }

TMessageBlock* TMessageTable::BlockForIds(uint32_t low, uint32_t high) {
    // The blocks that share ids with Low..High (an empty block shares its LowId), the first of
    // the table to take the others in; together they make one run of ids from First to Last.
    std::vector<TMessageBlock*> sharing;
    uint32_t first = low, last = high;
    for (TMessageBlock* block : FBlocks) {
        if (block->Count() == 0 ? block->LowId() != low : (block->LowId() > high || block->HighId() < low))
            continue;
        sharing.push_back(block);
        if (block->Count() == 0) continue;
        first = std::min(first, block->LowId());
        last = std::max(last, block->HighId());
    }
    TMessageBlock* target = sharing.empty() ? new TMessageBlock(this) : sharing.front();
    if (target->Count() > 0)
        for (uint32_t n = target->LowId() - first; n > 0; --n)
            target->Insert(0);
    target->SetLowId(first);
    const int count = static_cast<int>(uint64_t(last) - first + 1);
    while (target->Count() < count)
        target->Add();
    for (size_t k = 1; k < sharing.size(); ++k) {
        TMessageBlock* other = sharing[k];
        for (int i = 0; i < other->Count(); ++i) {
            const int at = static_cast<int>(other->LowId() - first) + i;
            // What the other block read; its empty places are those the target may have filled.
            for (uint32_t lcid : std::vector<uint32_t>(other->Locales()))
                if (std::wstring text = other->Messages(lcid, i); !text.empty())
                    target->SetMessages(lcid, at, text);
            if (other->HasName(i)) target->SetNames(at, other->Names(i));
            if (other->Comments(i) != SCommentNotSpecified) target->SetComments(at, other->Comments(i));
        }
        delete other;
    }
    return target;
}

void TMessageTable::LoadPart(TPart part, const void* data, uint32_t size) {
    auto blocks = CoreCall([&] {
        return msgcore::ReadMessageTable(static_cast<const uint8_t*>(data), size, SystemAnsiToUtf16);
    });
    for (const msgcore::MessageTableBlock& read : blocks) {
        const auto& texts = read.Texts;
        if (texts.empty()) continue;
        TMessageBlock* block = BlockForIds(read.LowId, read.LowId + static_cast<uint32_t>(texts.size() - 1));
        const int offset = static_cast<int>(read.LowId - block->LowId());
        for (size_t i = 0; i < texts.size(); ++i) {
            const int index = offset + static_cast<int>(i);
            switch (part) {
            case TPart::Messages: block->SetMessages(FCurrentLocale, index, ToWide(texts[i])); break;
            case TPart::Names: block->SetNames(index, ToWide(texts[i])); break;
            case TPart::Comments: block->SetComments(index, ToWide(texts[i])); break;
            }
        }
    }
}

void TMessageTable::SavePart(TPart part, const TEvLogSetDataProc& setData) {
    for (const TMessageBlock* block : FBlocks)
        if (std::wstring error = block->RangeError(block->LowId(), static_cast<uint64_t>(block->Count()));
            !error.empty())
            throw Exception(L"Block %s: %s", block->MessageNamePrefix(), error);
    std::vector<msgcore::MessageTableBlock> blocks(FBlocks.Count());
    for (size_t k = 0; k < blocks.size(); ++k) {
        TMessageBlock* block = FBlocks.Items(static_cast<int>(k));
        blocks[k].LowId = block->LowId();
        for (int i = 0; i < block->Count(); ++i) {
            switch (part) {
            case TPart::Messages: blocks[k].Texts.push_back(ToU16(block->Messages(FCurrentLocale, i))); break;
            case TPart::Names: blocks[k].Texts.push_back(ToU16(block->Names(i))); break;
            case TPart::Comments: blocks[k].Texts.push_back(ToU16(block->Comments(i))); break;
            }
        }
    }
    const msgcore::Bytes bytes = CoreCall([&] { return msgcore::WriteMessageTable(blocks); });
    setData(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void TMessageTable::LoadMessagesResourceData(uint32_t locale, const void* data, uint32_t size) {
    FCurrentLocale = locale;
    LoadPart(TPart::Messages, data, size);
}

void TMessageTable::SaveMessagesResourceData(uint32_t locale, const TEvLogSetDataProc& setData) {
    FCurrentLocale = locale;
    SavePart(TPart::Messages, setData);
}

void TMessageTable::LoadNamesResourceData(const void* data, uint32_t size) { LoadPart(TPart::Names, data, size); }

void TMessageTable::SaveNamesResourceData(const TEvLogSetDataProc& setData) { SavePart(TPart::Names, setData); }

void TMessageTable::LoadCommentsResourceData(const void* data, uint32_t size) { LoadPart(TPart::Comments, data, size); }

void TMessageTable::SaveCommentsResourceData(const TEvLogSetDataProc& setData) { SavePart(TPart::Comments, setData); }

} // namespace tamrel::evlog
