// Property editors: how an add-in lets the environment's object inspector show and edit a
// property of the persistent objects in a form designer (components, and the objects they own:
// a collection item, a sub-object).
//
// An add-in derives from TPropertyEditor (or TIntegerProperty for ordinal values) and registers
// the class for a property type, optionally narrowed to a component class and a property name:
//
//     RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Cardinal), &TrkAccessMask::StaticClassInfo(),
//                            L"AccessMask", PropertyEditorClass<TAccessMaskPropertyEditor>());
//
// The environment picks, among the registrations whose type matches the property (the same kind;
// for objects, the declared class or a descendant of the registered one), whose class matches the
// inspected object (that class or a descendant; none: any) and whose name matches (empty: any),
// the one that names both a class and a property before the others, and among equals the one
// registered last. It makes a new editor for each call of the inspector (GetValue, SetValue,
// Edit) and frees it afterwards.
//
// The editor classes live in the environment's DLL; without an environment RegisterPropertyEditor
// does nothing and Modified tells nobody.
#pragma once

#include "ide/framework/IdeServices.h"

#include "host/Classes.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

TAMREL_ENUM(TPropertyAttribute, paValueList, paSubProperties, paDialog, paMultiSelect, paAutoUpdate, paSortList,
            paReadOnly, paRevertable, paFullWidthName, paVolatileSubProperties, paReference, paNotNestable);
using TPropertyAttributes = TSet<TPropertyAttribute>;

// The type a registration is for: a kind, and for objects the declared class.
struct TPropertyType {
    TTypeKind Kind = TTypeKind::Integer;
    const TClassInfo* Class = nullptr; // Class and Component kinds
    static TPropertyType Ordinal(TTypeKind kind) { return TPropertyType{kind, nullptr}; }
    static TPropertyType String() { return TPropertyType{TTypeKind::String, nullptr}; }
    static TPropertyType Object(const TClassInfo& cls) { return TPropertyType{TTypeKind::Class, &cls}; }
};

class TPropertyEditorContext;

class TAMRELIDE_API TPropertyEditor {
public:
    TPropertyEditor();
    virtual ~TPropertyEditor();
    TPropertyEditor(const TPropertyEditor&) = delete;
    TPropertyEditor& operator=(const TPropertyEditor&) = delete;

    // What the inspector offers: a dialog button, a value list, ... Here: paRevertable.
    virtual TPropertyAttributes GetAttributes();
    // The text the inspector shows; here the value of the first object in the property's text
    // form (numbers, names, strings as they are, an object's class name in parentheses).
    virtual std::wstring GetValue();
    // Sets the value from the text the user typed; here for strings and whole numbers.
    virtual void SetValue(const std::wstring& value);
    // The dialog button or a double click; here nothing.
    virtual void Edit();

    // The objects being inspected (one, unless several are selected) and the property.
    int PropCount() const;
    TPersistent* GetComponent(int index) const;
    const TPropInfo* GetPropInfo() const;
    std::wstring GetName() const;

    // The property's value on the first object; the setters write every object.
    int64_t GetOrdValue() const;
    void SetOrdValue(int64_t value);
    std::wstring GetStrValue() const;
    void SetStrValue(const std::wstring& value);
    TObject* GetObjValue() const;

    // Tells the designer that the module changed (it marks it modified and refreshes the
    // inspector).
    void Modified();

private:
    friend class TPropertyEditorContext;
    std::shared_ptr<TPropertyEditorContext> FContext;
};

// Ordinal properties: the value as a decimal number.
class TAMRELIDE_API TIntegerProperty : public TPropertyEditor {
public:
    TPropertyAttributes GetAttributes() override; // paMultiSelect, paRevertable
    std::wstring GetValue() override;
    // A decimal or $-hexadecimal number; anything else raises EConvertError.
    void SetValue(const std::wstring& value) override;
};

// An editor class: its name and how to make one.
struct TPropertyEditorClass {
    std::wstring Name;
    TPropertyEditor* (*Create)() = nullptr;
};

template <class E> TPropertyEditorClass PropertyEditorClass(const wchar_t* name) {
    return TPropertyEditorClass{name, []() -> TPropertyEditor* { return new E(); }};
}

// ComponentClass null: objects of any class; PropertyName empty: properties of any name.
TAMRELIDE_API void RegisterPropertyEditor(const TPropertyType& propertyType, const TClassInfo* componentClass,
                                          const std::wstring& propertyName, const TPropertyEditorClass& editorClass);

} // namespace tamrel
