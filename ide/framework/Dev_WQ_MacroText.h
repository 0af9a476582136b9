// The source-template engine: a component that carries one source template, its named
// parameters and the optional parts to leave out, and expands it (syntax in
// Dev_WQ_MacroTextCore.h). The template travels with the module's stored form in a scrambled
// binary value, "BDATA"; the older "DATA" list is still read.
//
// A wizard sets SkipParts, sets values through ParamByName, then reads ResultText.
#pragma once

#include "ide/framework/WQ_SMSBase.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

class TWQMacroText;
struct TStoredTemplate;

class TWQMacroParam : public TCollectionItem {
    TAMREL_CLASS(TWQMacroParam, TCollectionItem)
public:
    explicit TWQMacroParam(TCollection* collection) : TCollectionItem(collection) {}

    // The parameter's name, without the tildes.
    const std::wstring& Name() const { return FName; }
    void SetName(const std::wstring& value) { FName = value; }
    // Copies Value only (not Name) from another parameter; any other source raises the
    // framework's cannot-assign error.
    void Assign(TPersistent* source) override;
    std::wstring GetDisplayName() const override { return FName; }

    // The text substituted for the parameter: 8-bit, in the system's ANSI code page.
    std::string Value;

private:
    std::wstring FName;
};

class TWQMacroParams : public TCollection {
    TAMREL_CLASS(TWQMacroParams, TCollection)
public:
    explicit TWQMacroParams(TWQMacroText* owner);
    TWQMacroParam* Add();
    // Raises EInvalidCast for an item of another class.
    TWQMacroParam* Items(int index) const;
    TPersistent* GetOwner() override;

private:
    TWQMacroText* FOwner;
};

class TWQMacroText : public TWQSMSBase {
    TAMREL_CLASS(TWQMacroText, TWQSMSBase)
public:
    // Makes a fresh key for the stored form.
    explicit TWQMacroText(TComponent* owner);
    ~TWQMacroText() override;

    TStrings* SkipParts() const { return FSkipParts.get(); }
    void SetSkipParts(TStrings* value) { FSkipParts->Assign(value); }
    TStrings* Text() const { return FText.get(); }
    // Assigns the lines, then EnumParams.
    void SetText(TStrings* value);
    // Expands the template and answers the result (the engine keeps it).
    TStrings* ResultText();
    // The key of the stored form: 18 hexadecimal digits.
    const std::wstring& Password() const { return FPassword; }
    void SetPassword(const std::wstring& value) { FPassword = value; }
    TWQMacroParams* Params() const { return FParams.get(); }
    void SetParams(TWQMacroParams* value) { FParams->Assign(value); }
    TWQMacroParam* ParamByName(const std::wstring& name) { return GetParamByName(name); }

    // Replaces Params with one parameter per distinct reference in the template.
    void EnumParams();
    // The first parameter of that name (case ignored, locale-aware); a new one with an empty
    // value when there is none. Never fails.
    TWQMacroParam* GetParamByName(const std::wstring& name);
    std::wstring GetCreationCode() override;
    void DefineProperties(TFiler& filer) override;

protected:
    // Whether a part name is one of SkipParts: exact, case-sensitive (locale-aware).
    bool IsSkipPart(const std::wstring& name) const;

private:
    // The template as 8-bit text, each line ended by CR LF.
    std::string AnsiTemplate() const;
    void ReadData(TReader& reader);
    void ReadBData(const std::vector<uint8_t>& data);
    std::vector<uint8_t> WriteBData() const;
    void LoadStored(const TStoredTemplate& stored);

    std::unique_ptr<TStringList> FSkipParts;
    std::unique_ptr<TStringList> FText;
    std::unique_ptr<TStringList> FResultText;
    std::wstring FPassword;
    std::unique_ptr<TWQMacroParams> FParams;
};

} // namespace tamrel
