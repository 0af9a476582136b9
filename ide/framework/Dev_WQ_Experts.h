// Expert components: a wizard of the environment's object repository written as a data module
// that holds one of these. Set at design time, the component registers an environment-side
// wizard object (TWQIExpert) when its module is loaded in the environment, removes it when it
// goes, and fires OnExecute when the wizard is chosen.
#pragma once

#include "host/forms/Graphics.h"
#include "ide/framework/IdeServices.h"
#include "ide/framework/WQ_SMSBase.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tamrel {

class TWQExpert;

// The environment-side wizard: every answer is read from its expert at the time of the call;
// once the expert is gone it answers empty values and runs nothing.
class TWQIExpert : public TInterfaced<IOTAFormWizard, IOTAProjectWizard, IOTAMenuWizard> {
public:
    explicit TWQIExpert(TWQExpert* owner) : FOwner(owner) {}
    TWQExpert* Owner() const { return FOwner; }
    void ClearOwner() { FOwner = nullptr; }

    void AfterSave() override {}
    void BeforeSave() override {}
    void Destroyed() override {}
    void Modified() override {}
    std::wstring GetAuthor() override;
    // The name serves as the unique identifier too.
    std::wstring GetIDString() override;
    std::wstring GetName() override;
    TWizardState GetState() override;
    void Execute() override;
    std::wstring GetComment() override;
    // "New" when the page is blank.
    std::wstring GetPage() override;
    // The icon's handle, given up by the icon (the environment owns it from then on); null
    // unless the expert is an advanced one.
    HICON GetGlyph() override;
    std::wstring GetMenuText() override;

private:
    TWQExpert* FOwner;
};

class TWQExpert : public TWQSMSBase {
    TAMREL_CLASS(TWQExpert, TWQSMSBase)
public:
    explicit TWQExpert(TComponent* owner);
    ~TWQExpert() override;

    IOTAWizard* Wizard() const { return static_cast<IOTAMenuWizard*>(FWizard.Get()); }
    // The index the environment gave the wizard.
    uint32_t WizardHandle() const { return FWizardHandle; }
    // Whether the wizard has been removed (it is never removed twice).
    bool IsUnloaded() const { return FUnloaded; }

    const std::wstring& ExpertName() const { return FExpertName; }
    void SetExpertName(const std::wstring& value) { FExpertName = value; }
    const std::wstring& Author() const { return FAuthor; }
    void SetAuthor(const std::wstring& value) { FAuthor = value; }
    const std::wstring& Comment() const { return FComment; }
    void SetComment(const std::wstring& value) { FComment = value; }
    const std::wstring& Page() const { return FPage; }
    void SetPage(const std::wstring& value) { FPage = value; }
    // Only esStandard is looked at: it makes MenuText required.
    TExpertStyle Style() const { return FStyle; }
    void SetStyle(TExpertStyle value) { FStyle = value; }
    TExpertState State() const { return FState; }
    void SetState(TExpertState value) { FState = value; }
    const std::wstring& MenuText() const { return FMenuText; }
    void SetMenuText(const std::wstring& value) { FMenuText = value; }
    TNotifyEvent OnExecute() const { return FOnExecute; }
    void SetOnExecute(TNotifyEvent value) { FOnExecute = value; }
    // Null in a plain expert.
    TIcon* Glyph() const { return FGlyph.get(); }

    // Streaming finished: outside a designer, the expert is checked and its wizard registered.
    // Raises "Expert "%s" : Invalid value of "ExpertName" property" (or "MenuText") with the
    // component's name.
    void Loaded() override;
    // Removes the wizard (outside a designer, and only one that was really added), then frees
    // the component unless it is being destroyed already.
    virtual void Unloaded();

protected:
    std::unique_ptr<TIcon> FGlyph;

private:
    TComPtr<TWQIExpert> FWizard;
    uint32_t FWizardHandle = 0;
    bool FRegistered = false;
    bool FUnloaded = false;
    std::wstring FExpertName, FAuthor, FComment, FPage;
    TExpertStyle FStyle = esStandard;
    TExpertState FState;
    std::wstring FMenuText;
    TNotifyEvent FOnExecute;
};

// An expert with an icon, whose style needs no menu text.
class TWQAdvancedExpert : public TWQExpert {
    TAMREL_CLASS(TWQAdvancedExpert, TWQExpert)
public:
    explicit TWQAdvancedExpert(TComponent* owner);
    ~TWQAdvancedExpert() override;

    // Copies the icon into the owned one.
    virtual void SetGlyph(TIcon* value);

    std::wstring GetCreationCode() override;
    std::wstring GetCreationVars() override;
};

// The bytes of an icon as a Pascal literal: two upper-case hexadecimal digits a byte, in quoted
// runs of at most 32 bytes joined by "' +" line breaks; empty for no bytes.
std::wstring IconLiteral(const std::string& bytes);
// A text between single quotes in Pascal source: quotes doubled.
std::wstring PasQuoted(const std::wstring& text);

} // namespace tamrel
