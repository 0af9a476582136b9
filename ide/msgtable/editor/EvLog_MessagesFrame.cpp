#include "ide/msgtable/editor/EvLog_MessagesFrame.h"

#include "host/SysUtils.h"

namespace tamrel::evlog {

namespace {
// The categories block has its own node; the list shows the message blocks only.
bool Listed(const TMessageBlock& mb) { return mb.LowId() != 1; }
} // namespace

std::wstring BlockRangeText(const TMessageBlock& mb) {
    return IntToHex(mb.LowId(), 4) + L" - " + IntToHex(mb.HighId(), 4);
}

TAMREL_IMPLEMENT_CLASS(TMessagesFrame) { b.Method<&TMessagesFrame::lvBlocksDblClick>(L"lvBlocksDblClick"); }

TMessagesFrame::TMessagesFrame(TComponent* owner) : TFrame(owner), FView(MakeInterfaced<TView>(this)) {
    auto* caption = Create<TLabel>(this);
    caption->SetParent(this);
    caption->SetAlign(alTop);
    caption->SetCaption(L"Messages blocks");
    lvBlocks = Create<TListView>(this);
    lvBlocks->SetParent(this);
    lvBlocks->SetAlign(alClient);
    lvBlocks->SetViewStyle(vsReport);
    lvBlocks->SetReadOnly(true);
    lvBlocks->SetHideSelection(false);
    const std::pair<const wchar_t*, int32_t> columns[] = {{L"Prefix", 200}, {L"Start ID", 100}, {L"Comment", 300}};
    for (const auto& [title, width] : columns) {
        TListColumn* column = lvBlocks->Columns()->Add();
        column->SetCaption(title);
        column->SetWidth(width);
    }
    lvBlocks->SetOnDblClick(TNotifyEvent::Of<&TMessagesFrame::lvBlocksDblClick>(this));
    auto* hint = Create<TLabel>(this);
    hint->SetParent(this);
    hint->SetAlign(alBottom);
    hint->SetCaption(L"Messages are grouped by blocks. You can supply custom name prefix and comment for any block of "
                     L"messages");
}

TMessagesFrame::~TMessagesFrame() {
    SetDocument(nullptr);
    FView->Frame = nullptr;
}

void TMessagesFrame::SetDocument(TEvLogDocument* value) {
    if (FDocument != value) {
        if (FDocument) FDocument->RemoveView(FView.Get());
        FDocument = value;
        if (FDocument) FDocument->AddView(FView.Get());
    }
    Fill();
}

void TMessagesFrame::Fill() {
    TListItems& items = *lvBlocks->Items();
    items.BeginUpdate();
    try {
        items.Clear();
        if (FDocument) {
            TMessageTable& table = FDocument->MessageTable();
            for (int i = 0; i < table.BlockCount(); ++i)
                if (TMessageBlock* mb = table.Blocks(i); Listed(*mb)) ShowBlock(items.Add(), mb);
        }
    } catch (...) {
        items.EndUpdate();
        throw;
    }
    items.EndUpdate();
}

void TMessagesFrame::ShowBlock(TListItem* item, TMessageBlock* mb) {
    item->SetCaption(mb->MessageNamePrefix());
    item->SubItems()->Clear();
    item->SubItems()->Add(BlockRangeText(*mb));
    item->SubItems()->Add(mb->Comment());
    item->SetData(mb);
}

TListItem* TMessagesFrame::ItemOf(TMessageBlock* mb) const {
    for (int i = 0; i < lvBlocks->Items()->Count(); ++i)
        if (TListItem* item = lvBlocks->Items()->Item(i); item->Data() == mb) return item;
    return nullptr;
}

void TMessagesFrame::lvBlocksDblClick(TObject*) {
    TListItem* item = lvBlocks->Selected();
    if (item && FOnSelectMessageBlock) FOnSelectMessageBlock(static_cast<TMessageBlock*>(item->Data()));
}

void TMessagesFrame::DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    if (changes.Contains(eldcClear)) lvBlocks->Items()->Clear();
    // A batch that changed several blocks names none; so does one in which a change without a
    // block came last. Which blocks came or went is then not known: the list is made anew.
    const bool blocks =
        changes.Contains(eldcBlockAdded) || changes.Contains(eldcBlockDeleted) || changes.Contains(eldcBlockModified);
    if (changes.Contains(eldcMultiBlocks) || (blocks && !mb)) {
        Fill();
        return;
    }
    if (changes.Contains(eldcBlockAdded) && mb && Listed(*mb)) ShowBlock(lvBlocks->Items()->Add(), mb);
    if (changes.Contains(eldcBlockDeleted))
        if (TListItem* item = ItemOf(mb)) item->Delete();
    if (changes.Contains(eldcBlockModified))
        if (TListItem* item = ItemOf(mb)) ShowBlock(item, mb);
}

} // namespace tamrel::evlog
