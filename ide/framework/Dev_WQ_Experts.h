// Expert components: a wizard of the environment's object repository written as a data module
// that holds one of these. Set at design time, the component registers an environment-side
// wizard object (TWQIExpert) when its module is loaded in the environment, removes it when it
// goes, and fires OnExecute when the wizard is chosen.
#pragma once

#include "host/Graphics.h"
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
    explicit TWQIExpert(TWQExpert* owner) : _Owner(owner) {}
    TWQExpert* Owner() const { return _Owner; }
    void ClearOwner() { _Owner = nullptr; }

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
    TWQExpert* _Owner;
};

class TWQExpert : public TWQSMSBase {
    TAMREL_CLASS(TWQExpert, TWQSMSBase)
public:
    explicit TWQExpert(TComponent* owner);
    ~TWQExpert() override;

    IOTAWizard* Wizard() const { return static_cast<IOTAMenuWizard*>(_Wizard.Get()); }
    // The index the environment gave the wizard.
    uint32_t WizardHandle() const { return _WizardHandle; }
    // Whether the wizard has been removed (it is never removed twice).
    bool IsUnloaded() const { return _Unloaded; }

    const std::wstring& ExpertName() const { return _ExpertName; }
    void SetExpertName(const std::wstring& value) { _ExpertName = value; }
    const std::wstring& Author() const { return _Author; }
    void SetAuthor(const std::wstring& value) { _Author = value; }
    const std::wstring& Comment() const { return _Comment; }
    void SetComment(const std::wstring& value) { _Comment = value; }
    const std::wstring& Page() const { return _Page; }
    void SetPage(const std::wstring& value) { _Page = value; }
    // Only esStandard is looked at: it makes MenuText required.
    TExpertStyle Style() const { return _Style; }
    void SetStyle(TExpertStyle value) { _Style = value; }
    TExpertState State() const { return _State; }
    void SetState(TExpertState value) { _State = value; }
    const std::wstring& MenuText() const { return _MenuText; }
    void SetMenuText(const std::wstring& value) { _MenuText = value; }
    TNotifyEvent OnExecute() const { return _OnExecute; }
    void SetOnExecute(TNotifyEvent value) { _OnExecute = value; }
    // Null in a plain expert.
    TIcon* Glyph() const { return _Glyph.get(); }

    // Streaming finished: outside a designer, the expert is checked and its wizard registered.
    // Raises "Expert "%s" : Invalid value of "ExpertName" property" (or "MenuText") with the
    // component's name.
    void Loaded() override;
    // Removes the wizard (outside a designer, and only one that was really added), then frees
    // the component unless it is being destroyed already.
    virtual void Unloaded();

protected:
    std::unique_ptr<TIcon> _Glyph;

private:
    TComPtr<TWQIExpert> _Wizard;
    uint32_t _WizardHandle = 0;
    bool _Registered = false;
    bool _Unloaded = false;
    std::wstring _ExpertName, _Author, _Comment, _Page;
    TExpertStyle _Style = esStandard;
    TExpertState _State;
    std::wstring _MenuText;
    TNotifyEvent _OnExecute;
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
