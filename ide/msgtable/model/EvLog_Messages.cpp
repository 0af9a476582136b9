#include "ide/msgtable/model/EvLog_Messages.h"

#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/MessageTableCodec.h"

#include <algorithm>

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
    return FMessageNamePrefix + L"_Message_" + IntToHex(FLowId + static_cast<uint32_t>(index), 2);
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

// ---------------------------------------------------------------------------------------------
// TMessageTable

TMessageTable::~TMessageTable() { Clear(); }

TMessageBlock* TMessageTable::Blocks(int index) {
    if (index < 0) throw EListError(SListIndexError, index);
    while (index >= BlockCount()) new TMessageBlock(this);
    return FBlocks.Items(index);
}

void TMessageTable::Clear() { FBlocks.Clear(); }

void TMessageTable::LoadPart(TPart part, const void* data, uint32_t size) {
    auto blocks = CoreCall([&] {
        return msgcore::ReadMessageTable(static_cast<const uint8_t*>(data), size, SystemAnsiToUtf16);
    });
    for (size_t k = 0; k < blocks.size(); ++k) {
        TMessageBlock* block = Blocks(static_cast<int>(k));
        block->SetLowId(blocks[k].LowId);
        const auto& texts = blocks[k].Texts;
        while (block->Count() < static_cast<int>(texts.size())) block->Add();
        for (size_t i = 0; i < texts.size(); ++i) {
            const int index = static_cast<int>(i);
            switch (part) {
            case TPart::Messages: block->SetMessages(FCurrentLocale, index, ToWide(texts[i])); break;
            case TPart::Names: block->SetNames(index, ToWide(texts[i])); break;
            case TPart::Comments: block->SetComments(index, ToWide(texts[i])); break;
            }
        }
    }
}

void TMessageTable::SavePart(TPart part, const TEvLogSetDataProc& setData) {
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
