#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"

#include "host/HostApplication.h"
#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_MessageBlockProperties.h"
#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/EvLog_Locales.h"

#include <algorithm>
#include <utility>

namespace tamrel::evlog {

namespace {

// A tab carries its LCID as its object; the comment tab carries none (0).
TObject* LocaleObject(uint32_t lcid) { return reinterpret_cast<TObject*>(static_cast<uintptr_t>(lcid)); }
uint32_t LocaleOfObject(TObject* object) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object)); }

// The character set the locale's texts are drawn in; the default one for a locale the system does
// not know or that has none.
int32_t CharsetOf(uint32_t lcid) {
    const TLocale* locale = FindLocale(lcid);
    return locale && locale->Charset >= 0 ? locale->Charset : DEFAULT_CHARSET;
}

// Lines split at CR, LF or CR LF; an empty text has none, a closing line break adds none.
std::vector<std::wstring> LinesOf(const std::wstring& text) {
    TStringList lines;
    lines.SetText(text);
    return lines.ToVector();
}

// A panel that keeps its aligned controls a margin away from its edges.
class TMarginPanel : public TPanel {
public:
    explicit TMarginPanel(TComponent* owner) : TPanel(owner) { SetBevelOuter(bvNone); }
    int32_t Margin = 8;

protected:
    void AlignControls(RECT& rect) override {
        InflateRect(&rect, -Margin, -Margin);
        TPanel::AlignControls(rect);
    }
};

TPanel* PlainPanel(TComponent* owner, TWinControl* parent, TAlign align, int32_t size) {
    auto* panel = Create<TPanel>(owner);
    panel->SetParent(parent);
    panel->SetBevelOuter(bvNone);
    if (align == alLeft || align == alRight) panel->SetWidth(size);
    else panel->SetHeight(size);
    panel->SetAlign(align);
    return panel;
}

TLabel* Heading(TComponent* owner, TWinControl* parent, const wchar_t* caption) {
    auto* label = Create<TLabel>(owner);
    label->SetParent(parent);
    label->SetCaption(caption);
    label->SetAlign(alTop);
    return label;
}

// The images of the seven actions, in their order: add, delete, to the top, up, down, to the
// bottom, properties. Drawn on a ground of fuchsia, which is transparent.
void AddActionImages(TImageList* images) {
    auto glyph = [images](auto draw) {
        TBitmap bitmap;
        bitmap.SetSize(16, 16);
        TCanvas* c = bitmap.Canvas();
        c->Brush()->SetColor(clFuchsia);
        c->FillRect(RECT{0, 0, 16, 16});
        draw(c);
        images->AddMasked(&bitmap, clFuchsia);
    };
    auto fill = [](TCanvas* c, TColor colour, RECT r) {
        c->Brush()->SetColor(colour);
        c->FillRect(r);
    };
    // A triangle of rows one pixel high, its point at row Tip, growing by a pixel each side per row.
    auto triangle = [fill](TCanvas* c, int tip, int step) {
        for (int r = 0; r < 6; ++r) fill(c, clNavy, RECT{7 - r, tip + r * step, 9 + r, tip + r * step + 1});
    };
    glyph([&](TCanvas* c) {
        fill(c, clGreen, RECT{7, 2, 9, 14});
        fill(c, clGreen, RECT{2, 7, 14, 9});
    });
    glyph([&](TCanvas* c) {
        c->Pen()->SetColor(clMaroon);
        c->Pen()->SetWidth(2);
        c->MoveTo(3, 3);
        c->LineTo(13, 13);
        c->MoveTo(12, 3);
        c->LineTo(2, 13);
    });
    glyph([&](TCanvas* c) {
        fill(c, clNavy, RECT{2, 2, 14, 4});
        triangle(c, 6, 1);
    });
    glyph([&](TCanvas* c) { triangle(c, 5, 1); });
    glyph([&](TCanvas* c) { triangle(c, 10, -1); });
    glyph([&](TCanvas* c) {
        triangle(c, 9, -1);
        fill(c, clNavy, RECT{2, 12, 14, 14});
    });
    glyph([&](TCanvas* c) {
        for (int row = 0; row < 3; ++row) {
            fill(c, clBlack, RECT{2, 3 + row * 4, 5, 6 + row * 4});
            fill(c, clBlack, RECT{7, 4 + row * 4, 14, 5 + row * 4});
        }
    });
}

} // namespace

TAMREL_IMPLEMENT_CLASS(TMessageBlockFrame) {
    using F = TMessageBlockFrame;
    b.Method<&F::aMessageAddExecute>(L"aMessageAddExecute");
    b.Method<&F::aMessageDeleteExecute>(L"aMessageDeleteExecute");
    b.Method<&F::aMessageMoveTopExecute>(L"aMessageMoveTopExecute");
    b.Method<&F::aMessageMoveUpExecute>(L"aMessageMoveUpExecute");
    b.Method<&F::aMessageMoveDownExecute>(L"aMessageMoveDownExecute");
    b.Method<&F::aMessageMoveBottomExecute>(L"aMessageMoveBottomExecute");
    b.Method<&F::aBlockConfigureExecute>(L"aBlockConfigureExecute");
    b.Method<&F::vleMessagesEnter>(L"vleMessagesEnter");
    b.Method<&F::vleMessagesExit>(L"vleMessagesExit");
    b.Method<&F::vleMessagesSetEditText>(L"vleMessagesSetEditText");
    b.Method<&F::vleMessagesKeyPress>(L"vleMessagesKeyPress");
    b.Method<&F::vleMessagesSelectCell>(L"vleMessagesSelectCell");
    b.Method<&F::vleMessagesValidate>(L"vleMessagesValidate");
    b.Method<&F::TbLocalesChange>(L"TbLocalesChange");
    b.Method<&F::mMessageEditorChange>(L"mMessageEditorChange");
    b.Method<&F::mMessageEditorExit>(L"mMessageEditorExit");
    b.Method<&F::tmMessageEditorTimer>(L"tmMessageEditorTimer");
    b.Method<&F::pbPreviewPaint>(L"pbPreviewPaint");
}

TMessageBlockFrame::TMessageBlockFrame(TComponent* owner) : TFrame(owner), FView(MakeInterfaced<TView>(this)) {
    CreateControls();
    RebuildTabs();
    DropBlock();
}

TMessageBlockFrame::~TMessageBlockFrame() {
    if (FDocument) FDocument->RemoveView(FView.Get());
    FView->Frame = nullptr;
}

void TMessageBlockFrame::BeforeDestruction() {
    tmMessageEditor->SetEnabled(false);
    // The windows going take the focus away: no exit may act on a frame being taken apart.
    mMessageEditor->SetOnExit(nullptr);
    vleMessages->SetOnExit(nullptr);
    vleMessages->SetOnEnter(nullptr);
    vleMessages->SetOnSelectCell(nullptr);
    CommitTypedText();
    if (FDocument) FDocument->RemoveView(FView.Get());
    FDocument = nullptr;
    FMessageBlock = nullptr;
    FView->Frame = nullptr;
    TFrame::BeforeDestruction();
}

void TMessageBlockFrame::CreateControls() {
    using F = TMessageBlockFrame;
    SetWidth(1100);
    SetHeight(600);

    ilActions = Create<TImageList>(this);
    AddActionImages(ilActions);
    alActions = Create<TActionList>(this);
    struct TActionDef {
        TAction* F::*Field;
        const wchar_t* Hint;
        TNotifyEvent Handler;
    };
    const TActionDef actions[] = {
        {&F::aMessageAdd, L"Add message", TNotifyEvent::Of<&F::aMessageAddExecute>(this)},
        {&F::aMessageDelete, L"Delete selected message", TNotifyEvent::Of<&F::aMessageDeleteExecute>(this)},
        {&F::aMessageMoveTop, L"Move message to the beginning", TNotifyEvent::Of<&F::aMessageMoveTopExecute>(this)},
        {&F::aMessageMoveUp, L"Move message up", TNotifyEvent::Of<&F::aMessageMoveUpExecute>(this)},
        {&F::aMessageMoveDown, L"Move message down", TNotifyEvent::Of<&F::aMessageMoveDownExecute>(this)},
        {&F::aMessageMoveBottom, L"Move message to the bottom", TNotifyEvent::Of<&F::aMessageMoveBottomExecute>(this)},
        {&F::aBlockConfigure, L"Change message block properties", TNotifyEvent::Of<&F::aBlockConfigureExecute>(this)},
    };
    TSpeedButton* F::*const buttons[] = {&F::sbMessageAdd,      &F::sbMessageDelete,     &F::sbMessageMoveTop,
                                         &F::sbMessageMoveUp,   &F::sbMessageMoveDown,   &F::sbMessageMoveBottom,
                                         &F::sbBlockConfigure};

    // Left half: the messages with their buttons, below them the comment and texts.
    auto* left = Create<TMarginPanel>(this);
    left->SetParent(this);
    left->SetWidth(665);
    left->SetAlign(alLeft);
    TPanel* heading = PlainPanel(this, left, alTop, 26);
    auto* caption = Create<TLabel>(this);
    caption->SetParent(heading);
    caption->SetBounds(0, 6, 60, 16);
    caption->SetCaption(L"Messages");
    for (int i = 0; i < 7; ++i) {
        TAction* action = Create<TAction>(this);
        this->*actions[i].Field = action;
        action->SetHint(actions[i].Hint);
        action->SetImageIndex(i);
        action->SetOnExecute(actions[i].Handler);
        action->SetActionList(alActions);
        TSpeedButton* button = Create<TSpeedButton>(this);
        this->*buttons[i] = button;
        button->SetParent(heading);
        button->SetBounds(72 + i * 25, 2, 23, 22);
        button->SetFlat(true);
        button->SetShowHint(true);
        button->SetImages(ilActions);
        button->SetAction(action);
    }

    TPanel* editor = PlainPanel(this, left, alBottom, 333);
    Heading(this, editor, L"Comment && messages");
    TbLocales = Create<TTabSet>(this);
    TbLocales->SetParent(editor);
    TbLocales->SetAlign(alClient);
    TbLocales->SetOnChange(TNotifyEvent::Of<&F::TbLocalesChange>(this));
    mMessageEditor = Create<TMemo>(this);
    mMessageEditor->SetParent(TbLocales);
    mMessageEditor->SetAlign(alClient);
    mMessageEditor->SetColor(clMoneyGreen);
    mMessageEditor->SetScrollBars(scBoth);
    mMessageEditor->SetWordWrap(false);
    mMessageEditor->SetTabStop(true);
    mMessageEditor->SetOnChange(TNotifyEvent::Of<&F::mMessageEditorChange>(this));
    mMessageEditor->SetOnExit(TNotifyEvent::Of<&F::mMessageEditorExit>(this));

    vleMessages = Create<TValueListEditor>(this);
    vleMessages->SetParent(left);
    vleMessages->SetAlign(alClient);
    vleMessages->TitleCaptions()->Clear();
    vleMessages->TitleCaptions()->Add(L"ID");
    vleMessages->TitleCaptions()->Add(L"Name");
    vleMessages->SetColWidths(0, 75);
    vleMessages->SetColWidths(1, 568);
    vleMessages->SetOptions(vleMessages->Options() + TGridOptions{goEditing, goAlwaysShowEditor, goColSizing});
    vleMessages->SetOnEnter(TNotifyEvent::Of<&F::vleMessagesEnter>(this));
    vleMessages->SetOnExit(TNotifyEvent::Of<&F::vleMessagesExit>(this));
    vleMessages->SetOnKeyPress(TKeyPressEvent::Of<&F::vleMessagesKeyPress>(this));
    vleMessages->SetOnSelectCell(TSelectCellEvent::Of<&F::vleMessagesSelectCell>(this));
    vleMessages->SetOnSetEditText(TSetEditEvent::Of<&F::vleMessagesSetEditText>(this));
    vleMessages->SetOnValidate(TOnValidateEvent::Of<&F::vleMessagesValidate>(this));

    // Right half: the preview.
    auto* right = Create<TMarginPanel>(this);
    right->SetParent(this);
    right->SetAlign(alClient);
    Heading(this, right, L"Preview");
    sbPreview = Create<TScrollBox>(this);
    sbPreview->SetParent(right);
    sbPreview->SetAlign(alClient);
    sbPreview->SetColor(clNavy);
    pbPreview = Create<TPaintBox>(this);
    pbPreview->SetParent(sbPreview);
    pbPreview->SetBounds(0, 0, 0, 0);
    // Without the face a fixed pitch still gives a monospaced one: the columns stay columns.
    pbPreview->Font()->SetName(L"Courier New");
    pbPreview->Font()->SetHeight(-16);
    pbPreview->Font()->SetColor(clSilver);
    pbPreview->Font()->SetPitch(fpFixed);
    pbPreview->SetOnPaint(TNotifyEvent::Of<&F::pbPreviewPaint>(this));

    tmMessageEditor = Create<TTimer>(this);
    tmMessageEditor->SetInterval(500);
    tmMessageEditor->SetOnTimer(TNotifyEvent::Of<&F::tmMessageEditorTimer>(this));
}

// ---------------------------------------------------------------------------------------------
// Document and block

void TMessageBlockFrame::SetDocument(TEvLogDocument* value) {
    CommitEdits();
    if (FDocument != value && FDocument) FDocument->RemoveView(FView.Get());
    DropBlock();
    if (FDocument != value) {
        FDocument = value;
        if (FDocument) FDocument->AddView(FView.Get());
    }
    RebuildTabs();
}

void TMessageBlockFrame::DropBlock() {
    FMessageBlock = nullptr;
    FNameIsChanged = false;
    FMessageEditorIsChanged = false;
    FMessageIndex = -1;
    FEditorMessage = -1;
    {
        const TSelectCellEvent select = vleMessages->OnSelectCell();
        vleMessages->SetOnSelectCell(nullptr);
        TScopeExit restore([&] { vleMessages->SetOnSelectCell(select); });
        vleMessages->Strings()->Clear();
    }
    {
        FFillingEditor = true;
        TScopeExit filled([this] { FFillingEditor = false; });
        mMessageEditor->SetText(L"");
    }
    mMessageEditor->SetReadOnly(true);
    UpdateActions();
    pbPreview->Invalidate();
}

void TMessageBlockFrame::SetMessageBlock(TMessageBlock* value) {
    CommitEdits();
    if (!value) {
        DropBlock();
        return;
    }
    FMessageBlock = value;
    FNameIsChanged = false;
    mMessageEditor->SetReadOnly(false);
    int32_t tab = 0;
    for (int i = 0; i < TbLocales->Tabs()->Count(); ++i)
        if (LocaleOfObject(TbLocales->Tabs()->Objects(i)) == value->SelectedLocaleId()) {
            tab = i;
            break;
        }
    const int32_t remembered = value->SelectedMessageIndex();
    FillGrid();
    SetPreviewSize(40, 10);
    SelectLocale(tab);
    SelectRow(remembered);
    UpdatePreviewSize();
    pbPreview->Invalidate();
}

void TMessageBlockFrame::ShowBlockAgain() {
    // Whatever was still typed here belonged to the messages as they were.
    FNameIsChanged = false;
    FMessageEditorIsChanged = false;
    const int32_t index = FMessageIndex;
    FillGrid();
    SelectLocale(FLocaleIndex);
    SelectRow(std::min(index, FMessageBlock->Count() - 1));
    UpdatePreviewSize();
    pbPreview->Invalidate();
}

void TMessageBlockFrame::TellModified(TMessageBlock* block) {
    if (!FDocument) return;
    FTelling = true;
    TScopeExit told([this] { FTelling = false; });
    FDocument->Update({eldcBlockModified}, block);
}

void TMessageBlockFrame::FillGrid() {
    TStringList lines;
    for (int i = 0; i < FMessageBlock->Count(); ++i) lines.Add(IdText(i) + L"=" + FMessageBlock->Names(i));
    const TSelectCellEvent select = vleMessages->OnSelectCell();
    vleMessages->SetOnSelectCell(nullptr);
    TScopeExit restore([&] { vleMessages->SetOnSelectCell(select); });
    vleMessages->SetStrings(&lines);
}

void TMessageBlockFrame::DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    if (changes.Contains(eldcUsedLocales)) {
        // The tabs change under the memo: its text goes to the locale it was typed for first.
        CommitEditor();
        const uint32_t shown = LocaleOfTab(FLocaleIndex);
        RebuildTabs();
        if (FMessageBlock) {
            int32_t tab = 0;
            for (int i = 1; i < TbLocales->Tabs()->Count(); ++i)
                if (LocaleOfObject(TbLocales->Tabs()->Objects(i)) == shown) tab = i;
            SelectLocale(tab);
            UpdatePreviewSize();
            pbPreview->Invalidate();
        }
    }
    if (!FMessageBlock) return;
    if (changes.Contains(eldcBlockModified) && mb == FMessageBlock && !FTelling) {
        // Another window's frame changed the block: a grid or memo of before would put what is
        // typed next into the wrong message.
        ShowBlockAgain();
        return;
    }
    if (changes.Contains(eldcBlockDeleted) && mb == FMessageBlock) {
        // The block is about to be freed: what was typed into it goes with it.
        DropBlock();
        return;
    }
    if (!mb) {
        // A batch of changes, or a block deleted inside one: a block that left the table goes.
        TMessageTable& table = FDocument->MessageTable();
        bool listed = false;
        for (int i = 0; i < table.BlockCount() && !listed; ++i) listed = table.Blocks(i) == FMessageBlock;
        if (!listed) DropBlock();
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs, messages, grid

void TMessageBlockFrame::RebuildTabs() {
    FChangeTabIndex = true;
    TScopeExit guard([this] { FChangeTabIndex = false; });
    TStringList tabs;
    tabs.AddObject(L"Comment", nullptr);
    if (FDocument)
        for (uint32_t lcid : FDocument->UsedLocales()) {
            const TLocale* locale = FindLocale(lcid);
            tabs.AddObject(locale ? locale->DisplayText() : L"LCID " + UIntToStr(lcid), LocaleObject(lcid));
        }
    TbLocales->SetTabs(&tabs);
    FLocaleIndex = std::clamp(FLocaleIndex, 0, TbLocales->Tabs()->Count() - 1);
    TbLocales->SetTabIndex(FLocaleIndex);
}

uint32_t TMessageBlockFrame::LocaleOfTab(int32_t index) const {
    if (index <= 0 || index >= TbLocales->Tabs()->Count()) return 0;
    return LocaleOfObject(TbLocales->Tabs()->Objects(index));
}

std::wstring TMessageBlockFrame::IdText(int32_t index) const {
    return MessageIdText(FMessageBlock->LowId() + static_cast<uint32_t>(index));
}

void TMessageBlockFrame::SelectLocale(int32_t index) {
    CommitEditor();
    FLocaleIndex = std::clamp(index, 0, std::max(0, TbLocales->Tabs()->Count() - 1));
    if (!FChangeTabIndex) {
        FChangeTabIndex = true;
        TScopeExit guard([this] { FChangeTabIndex = false; });
        TbLocales->SetTabIndex(FLocaleIndex);
    }
    SelectMessage(FMessageIndex);
}

void TMessageBlockFrame::SelectMessage(int32_t index) {
    if (!FMessageBlock) return;
    CommitEditor();
    const int32_t count = FMessageBlock->Count();
    FMessageIndex = std::min(index, count - 1);
    if (FMessageIndex < 0 && count > 0) FMessageIndex = 0;
    UpdateActions();
    uint32_t lcid = LocaleOfTab(FLocaleIndex);
    std::wstring text;
    int32_t charset = DEFAULT_CHARSET;
    if (lcid != 0) {
        charset = CharsetOf(lcid);
        if (FMessageIndex >= 0) text = FMessageBlock->Messages(lcid, FMessageIndex);
    } else if (FMessageIndex >= 0) {
        text = FMessageBlock->Comments(FMessageIndex);
    }
    {
        FFillingEditor = true;
        TScopeExit filled([this] { FFillingEditor = false; });
        mMessageEditor->Font()->SetCharset(charset);
        mMessageEditor->SetText(text);
    }
    FEditorMessage = FMessageIndex;
    FEditorLocale = lcid;
    FMessageEditorIsChanged = false;
    FMessageBlock->SetSelectedLocaleId(lcid);
    FMessageBlock->SetSelectedMessageIndex(FMessageIndex);
}

void TMessageBlockFrame::SelectRow(int32_t index) {
    SelectMessage(index);
    if (FMessageIndex >= 0) vleMessages->MoveTo(1, FMessageIndex + 1);
}

void TMessageBlockFrame::UpdateActions() {
    const bool block = FMessageBlock != nullptr;
    const int32_t count = block ? FMessageBlock->Count() : 0;
    const bool row = block && FMessageTableSelected && FMessageIndex >= 0;
    aMessageAdd->SetEnabled(block);
    aBlockConfigure->SetEnabled(block);
    aMessageDelete->SetEnabled(row && count > 0);
    aMessageMoveDown->SetEnabled(row && FMessageIndex < count - 1);
    aMessageMoveBottom->SetEnabled(row && FMessageIndex < count - 1);
    aMessageMoveUp->SetEnabled(row && FMessageIndex > 0);
    aMessageMoveTop->SetEnabled(row && FMessageIndex > 0);
}

void TMessageBlockFrame::CommitEditor() {
    if (!FMessageEditorIsChanged) return;
    FMessageEditorIsChanged = false;
    if (!FMessageBlock || FEditorMessage < 0 || FEditorMessage >= FMessageBlock->Count()) return;
    const std::wstring text = mMessageEditor->GetText();
    if (FEditorLocale == 0) FMessageBlock->SetComments(FEditorMessage, text);
    else FMessageBlock->SetMessages(FEditorLocale, FEditorMessage, text);
    UpdatePreviewSize();
    pbPreview->Invalidate();
    TellModified(FMessageBlock);
}

void TMessageBlockFrame::CommitTypedText() {
    CommitEditor();
    if (!FNameIsChanged || !FMessageBlock) return;
    const int32_t index = vleMessages->Row() - 1;
    // A name the block cannot take stays typed: Enter or leaving the row says why.
    if (index < 0 || index >= FMessageBlock->Count() || !FMessageBlock->NameError(index, FNewName).empty())
        return;
    FNameIsChanged = false;
    FMessageBlock->SetNames(index, FNewName);
    // The grid's own validation has nothing left to take.
    vleMessages->SetValues(IdText(index), FNewName);
    UpdatePreviewSize();
    pbPreview->Invalidate();
    TellModified(FMessageBlock);
}

void TMessageBlockFrame::CommitTypedTexts(TEvLogDocument& document) {
    // Each frame's taking tells the document's views, which may leave it meanwhile.
    std::vector<TComPtr<TView>> frames;
    for (int i = 0; i < document.ViewCount(); ++i)
        if (auto* view = dynamic_cast<TView*>(document.Views(i)); view && view->Frame) frames.emplace_back(view);
    for (const TComPtr<TView>& view : frames)
        if (view->Frame) view->Frame->CommitTypedText();
}

void TMessageBlockFrame::CommitName() {
    if (!FNameIsChanged || !FMessageBlock) return;
    const int32_t row = vleMessages->Row();
    vleMessagesValidate(vleMessages, 1, row, vleMessages->Keys(row), FNewName);
}

HWND TMessageBlockFrame::BoxOwner() {
    TWinControl* root = GetParentRoot(this);
    return root && root->HandleAllocated() ? root->Handle() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Actions

void TMessageBlockFrame::aMessageAddExecute(TObject*) {
    CommitEdits();
    if (!FMessageBlock) return;
    // The next id may be another block's, or the default name of the new message another's name.
    if (const std::wstring error = FMessageBlock->AddError(); !error.empty()) {
        ShowMessageBox(BoxOwner(), error, L"Error", MB_OK | MB_ICONERROR);
        return;
    }
    const int32_t index = FMessageBlock->Count();
    const uint32_t first = FDocument ? FDocument->UsedLocales().front() : DefaultLocale;
    FMessageBlock->SetMessages(first, index, L"");
    vleMessages->InsertRow(IdText(index), FMessageBlock->Names(index), true);
    SelectRow(index);
    TellModified(FMessageBlock);
    UpdatePreviewSize();
    pbPreview->Invalidate();
}

void TMessageBlockFrame::aMessageDeleteExecute(TObject*) {
    CommitEdits();
    TMessageBlock* block = FMessageBlock;
    if (!block) return;
    if (block->Count() > 1) {
        const int32_t old = FMessageIndex;
        if (old >= 0) block->Delete(old);
        SetMessageBlock(block);
        SelectRow(std::min(std::max(old, 0), block->Count() - 1));
        TellModified(block);
        return;
    }
    if (ShowMessageBox(BoxOwner(), SDeleteLastMessage, L"Confirm", MB_OKCANCEL | MB_ICONWARNING) == IDOK &&
        FDoDeleteBlock)
        FDoDeleteBlock(nullptr);
}

void TMessageBlockFrame::ExchangeMessages(int32_t i, int32_t j) {
    // Every locale the block holds, the dropped ones too: their texts stay with their message.
    for (uint32_t lcid : std::vector<uint32_t>(FMessageBlock->Locales())) {
        const std::wstring a = FMessageBlock->Messages(lcid, i);
        FMessageBlock->SetMessages(lcid, i, FMessageBlock->Messages(lcid, j));
        FMessageBlock->SetMessages(lcid, j, a);
    }
    const std::wstring name = FMessageBlock->Names(i);
    FMessageBlock->SetNames(i, FMessageBlock->Names(j));
    FMessageBlock->SetNames(j, name);
    const std::wstring comment = FMessageBlock->Comments(i);
    FMessageBlock->SetComments(i, FMessageBlock->Comments(j));
    FMessageBlock->SetComments(j, comment);
    const TSetEditEvent setEdit = vleMessages->OnSetEditText();
    vleMessages->SetOnSetEditText(nullptr);
    TScopeExit restore([&] { vleMessages->SetOnSetEditText(setEdit); });
    vleMessages->SetValues(IdText(i), FMessageBlock->Names(i));
    vleMessages->SetValues(IdText(j), FMessageBlock->Names(j));
}

void TMessageBlockFrame::MoveMessageTo(int32_t target) {
    CommitEdits();
    if (!FMessageBlock) return;
    const int32_t count = FMessageBlock->Count();
    if (FMessageIndex < 0 || FMessageIndex >= count || target < 0 || target >= count || target == FMessageIndex) return;
    ExchangeMessages(FMessageIndex, target);
    SelectRow(target);
    TellModified(FMessageBlock);
    pbPreview->Invalidate();
}

void TMessageBlockFrame::aMessageMoveTopExecute(TObject*) { MoveMessageTo(0); }
void TMessageBlockFrame::aMessageMoveUpExecute(TObject*) { MoveMessageTo(FMessageIndex - 1); }
void TMessageBlockFrame::aMessageMoveDownExecute(TObject*) { MoveMessageTo(FMessageIndex + 1); }

void TMessageBlockFrame::aMessageMoveBottomExecute(TObject*) {
    MoveMessageTo(FMessageBlock ? FMessageBlock->Count() - 1 : -1);
}

void TMessageBlockFrame::aBlockConfigureExecute(TObject*) {
    CommitEdits();
    TMessageBlock* block = FMessageBlock;
    if (!block || !BlockPropertiesDialog(block)) return;
    // The ids and the default names changed: the grid and the preview show them anew.
    SetMessageBlock(block);
    TellModified(block);
}

bool TMessageBlockFrame::BlockPropertiesDialog(TMessageBlock* MB) {
    if (!MB) return false;
    TOwnedPtr<TMessageBlockProperties> form(Create<TMessageBlockProperties>(HostApplication.Get()));
    form->edLowId->SetEnabled(!(MB->LowId() == 1 && FDocument && FDocument->UseCategories()));
    form->edLowId->SetText(IntToHex(MB->LowId(), 8));
    form->edMessageNamePrefix->SetText(MB->MessageNamePrefix());
    form->SetMessageBlock(MB);
    if (form->ShowModal() != mrOk) return false;
    MB->SetLowId(form->LowId());
    MB->SetMessageNamePrefix(form->edMessageNamePrefix->GetText());
    return true;
}

// ---------------------------------------------------------------------------------------------
// Grid

void TMessageBlockFrame::vleMessagesEnter(TObject*) {
    FMessageTableSelected = true;
    UpdateActions();
}

void TMessageBlockFrame::vleMessagesExit(TObject*) {
    FMessageTableSelected = false;
    UpdateActions();
}

void TMessageBlockFrame::vleMessagesSetEditText(TObject*, int, int ARow, const std::wstring& Value) {
    if (ARow != vleMessages->Row()) return;
    FNameIsChanged = true;
    FNewName = Value;
}

void TMessageBlockFrame::vleMessagesKeyPress(TObject*, wchar_t& Key) {
    if (Key == L'\r' && FNameIsChanged) CommitName();
}

void TMessageBlockFrame::vleMessagesSelectCell(TObject*, int, int ARow, bool&) {
    if (FNameIsChanged) CommitName();
    SelectMessage(ARow - 1);
}

void TMessageBlockFrame::vleMessagesValidate(TObject*, int, int ARow, const std::wstring& KeyName,
                                             const std::wstring& KeyValue) {
    FNameIsChanged = false;
    if (!FMessageBlock) return;
    const int32_t index = ARow - 1;
    if (index < 0 || index >= FMessageBlock->Count()) return;
    const std::wstring error = FMessageBlock->NameError(index, KeyValue);
    if (!error.empty()) {
        ShowMessageBox(BoxOwner(), error, L"Error", MB_OK | MB_ICONERROR);
        vleMessages->SetValues(KeyName, FMessageBlock->Names(index));
        return;
    }
    FMessageBlock->SetNames(index, vleMessages->Values(KeyName));
    // The grid shows the program's value again: its own validation has nothing left.
    vleMessages->SetValues(KeyName, FMessageBlock->Names(index));
    TellModified(FMessageBlock);
    UpdatePreviewSize();
    pbPreview->Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Tabs, memo, timer

void TMessageBlockFrame::TbLocalesChange(TObject*) {
    if (FChangeTabIndex) return;
    FChangeTabIndex = true;
    TScopeExit guard([this] { FChangeTabIndex = false; });
    SelectLocale(std::max(0, TbLocales->TabIndex()));
}

void TMessageBlockFrame::mMessageEditorChange(TObject*) {
    if (!FFillingEditor) FMessageEditorIsChanged = true;
}

void TMessageBlockFrame::mMessageEditorExit(TObject*) { CommitEditor(); }

void TMessageBlockFrame::tmMessageEditorTimer(TObject*) {
    const SIZE extent = MeasureCell();
    if (extent.cx != FPreviewTextExtent.cx || extent.cy != FPreviewTextExtent.cy)
        SetPreviewSize(FPreviewWidth, FPreviewHeight);
    CommitEditor();
}

// ---------------------------------------------------------------------------------------------
// Preview

SIZE TMessageBlockFrame::MeasureCell() {
    pbPreview->Canvas()->SetFont(pbPreview->Font());
    return pbPreview->Canvas()->TextExtent(L"A");
}

void TMessageBlockFrame::SetPreviewSize(int32_t width, int32_t height) {
    FPreviewWidth = width;
    FPreviewHeight = height;
    FPreviewTextExtent = MeasureCell();
    // The box's place in the content, as it is when nothing is scrolled.
    const int32_t left = pbPreview->Left() + sbPreview->HorzPosition();
    const int32_t top = pbPreview->Top() + sbPreview->VertPosition();
    pbPreview->SetBounds(pbPreview->Left(), pbPreview->Top(), width * FPreviewTextExtent.cx + left,
                         height * FPreviewTextExtent.cy + top);
}

void TMessageBlockFrame::UpdatePreviewSize() {
    if (!FMessageBlock) return;
    const std::vector<uint32_t> locales = FDocument ? FDocument->UsedLocales() : std::vector<uint32_t>{};
    int32_t w = 0, h = 0;
    for (int32_t i = 0; i < FMessageBlock->Count(); ++i) {
        for (uint32_t lcid : locales) {
            const std::vector<std::wstring> lines = LinesOf(FMessageBlock->Messages(lcid, i));
            for (const std::wstring& line : lines) w = std::max(w, static_cast<int32_t>(line.size()) + 10);
            h += static_cast<int32_t>(lines.size());
        }
        const std::vector<std::wstring> comment = LinesOf(FMessageBlock->Comments(i));
        for (const std::wstring& line : comment) w = std::max(w, static_cast<int32_t>(line.size()) + 10);
        h += static_cast<int32_t>(comment.size());
        w = std::max(w, static_cast<int32_t>(FMessageBlock->Names(i).size()) + 20);
        // The const line, "(*", "*)", the empty line after it and one after each locale's text.
        h += 4 + static_cast<int32_t>(locales.size());
    }
    if (FPreviewWidth < w || FPreviewHeight < h) SetPreviewSize(std::max(FPreviewWidth, w), std::max(FPreviewHeight, h));
}

void TMessageBlockFrame::pbPreviewPaint(TObject*) {
    if (!FMessageBlock) return;
    TCanvas* c = pbPreview->Canvas();
    // Nothing is erased: the scroll box's navy shows behind the text.
    c->Brush()->SetStyle(bsClear);
    const SIZE cell = c->TextExtent(L"A");
    auto text = [&](int32_t column, int32_t line, const std::wstring& s, TColor colour) {
        c->Font()->SetColor(colour);
        c->TextOut(column * cell.cx, line * cell.cy, s);
    };
    const std::vector<uint32_t> locales = FDocument ? FDocument->UsedLocales() : std::vector<uint32_t>{};
    int32_t line = 0;
    for (int32_t i = 0; i < FMessageBlock->Count(); ++i) {
        c->Font()->SetCharset(DEFAULT_CHARSET);
        for (const std::wstring& comment : LinesOf(FMessageBlock->Comments(i))) text(0, line++, L"// " + comment, clSilver);
        text(0, line, L"const", clWhite);
        int32_t column = 6;
        const std::wstring name = FMessageBlock->Names(i) + L" ";
        text(column, line, name, clYellow);
        column += static_cast<int32_t>(name.size());
        text(column, line, L"=", clWhite);
        column += 2;
        const std::wstring id = MessageIdText(FMessageBlock->LowId() + static_cast<uint32_t>(i));
        text(column, line, id, clAqua);
        column += static_cast<int32_t>(id.size());
        text(column, line, L";", clWhite);
        text(0, line + 1, L"(*", clSilver);
        line += 2;
        for (uint32_t lcid : locales) {
            c->Font()->SetCharset(CharsetOf(lcid));
            for (const std::wstring& s : LinesOf(FMessageBlock->Messages(lcid, i))) text(4, line++, s, clSilver);
            ++line;
        }
        text(0, line++, L"*)", clSilver);
        ++line;
    }
}

} // namespace tamrel::evlog
