#include "host/ComObj.h"

#include "host/Threads.h"

#include <algorithm>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// OLE errors

void OleError(HRESULT errorCode) {
    std::wstring text = SysErrorMessage(static_cast<DWORD>(errorCode));
    if (text.empty()) text = Format(SOleError, static_cast<unsigned>(errorCode));
    throw EOleSysError(text, errorCode);
}

HRESULT OleCheck(HRESULT result) {
    if (FAILED(result)) OleError(result);
    return result;
}

// ---------------------------------------------------------------------------------------------
// BSTR and VARIANT owners

TBStr::TBStr(std::wstring_view s) {
    FStr = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!FStr) OleError(E_OUTOFMEMORY);
}

TBStr& TBStr::operator=(TBStr&& o) noexcept {
    if (this != &o) {
        Reset();
        FStr = std::exchange(o.FStr, nullptr);
    }
    return *this;
}

void TBStr::Reset() {
    if (BSTR s = std::exchange(FStr, nullptr)) SysFreeString(s);
}

std::wstring TBStr::ToString() const { return BStrToString(FStr); }

std::wstring BStrToString(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

TOleVariant::TOleVariant(std::wstring_view s) {
    VariantInit(&FValue);
    V_BSTR(&FValue) = TBStr(s).Detach();
    V_VT(&FValue) = VT_BSTR;
}

TOleVariant::TOleVariant(int32_t v) {
    VariantInit(&FValue);
    V_VT(&FValue) = VT_I4;
    V_I4(&FValue) = v;
}

TOleVariant::TOleVariant(const TOleVariant& o) {
    VariantInit(&FValue);
    OleCheck(VariantCopy(&FValue, const_cast<VARIANT*>(&o.FValue)));
}

TOleVariant& TOleVariant::operator=(const TOleVariant& o) {
    if (this != &o) OleCheck(VariantCopy(&FValue, const_cast<VARIANT*>(&o.FValue)));
    return *this;
}

std::wstring TOleVariant::ToString() const {
    if (V_VT(&FValue) == VT_BSTR) return BStrToString(V_BSTR(&FValue));
    TOleVariant text;
    OleCheck(VariantChangeType(text.Get(), const_cast<VARIANT*>(&FValue), 0, VT_BSTR));
    return BStrToString(V_BSTR(text.Get()));
}


// ---------------------------------------------------------------------------------------------
// Registry routines

void CreateRegKey(const std::wstring& key, const std::wstring& valueName, const std::wstring& value,
                  HKEY rootKey) {
    TRegKey handle;
    if (RegCreateKeyExW(rootKey, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(), nullptr) !=
        ERROR_SUCCESS)
        throw EOleRegistrationError(SCreateRegKeyError);
    const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
    const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(handle.Get(), valueName.empty() ? nullptr : valueName.c_str(), 0, REG_SZ, data, size) !=
        ERROR_SUCCESS)
        throw EOleRegistrationError(SCreateRegKeyError);
}

void DeleteRegKey(const std::wstring& key, HKEY rootKey) { RegDeleteKeyW(rootKey, key.c_str()); }

void DeleteRegValue(const std::wstring& key, const std::wstring& valueName, HKEY rootKey) {
    TRegKey handle;
    if (RegOpenKeyExW(rootKey, key.c_str(), 0, KEY_SET_VALUE, handle.Put()) == ERROR_SUCCESS)
        RegDeleteValueW(handle.Get(), valueName.c_str());
}

// ---------------------------------------------------------------------------------------------
// The safecall rule

HRESULT HandleSafeCallException(const std::exception_ptr& error, REFGUID errorIID, const std::wstring& source,
                                const std::wstring& helpFile) {
    HRESULT result = E_UNEXPECTED;
    std::wstring description = ExceptionMessage(error);
    std::wstring errorSource = source;
    std::wstring errorHelpFile = helpFile;
    DWORD helpContext = 0;
    try {
        std::rethrow_exception(error);
    } catch (const EOleException& e) {
        result = e.ErrorCode();
        if (!e.Source().empty()) errorSource = e.Source();
        if (!e.HelpFile().empty()) errorHelpFile = e.HelpFile();
        helpContext = static_cast<DWORD>(e.HelpContext());
    } catch (const EOleSysError& e) {
        result = e.ErrorCode();
        helpContext = static_cast<DWORD>(e.HelpContext());
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    } catch (...) {
    }
    // An OLE error that carries a success code must still read as a failure.
    if (SUCCEEDED(result)) result = E_UNEXPECTED;

    TComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
        create->SetGUID(errorIID);
        create->SetSource(const_cast<LPOLESTR>(errorSource.c_str()));
        create->SetHelpFile(const_cast<LPOLESTR>(errorHelpFile.c_str()));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        create->SetHelpContext(helpContext);
        TComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.Get());
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// TComObject

TComObject::~TComObject() {
    if (FCounted && FFactory && FFactory->ComServer()) FFactory->ComServer()->CountObject(false);
}

void TComObject::InitializeFromFactory(TComObjectFactory* factory, IUnknown* controller) {
    // Interfaces handed out while Initialize runs must not free the object under it.
    ++FRefCount;
    TScopeExit release([this] { --FRefCount; });
    FFactory = factory;
    FController = controller;
    if (FFactory && FFactory->ComServer()) {
        FFactory->ComServer()->CountObject(true);
        FCounted = true;
    }
    Initialize();
}

void* TComObject::GetInterface(REFIID iid) {
    if (IsEqualGUID(iid, IID_IUnknown)) return static_cast<IUnknown*>(&FInner);
    if (IsEqualGUID(iid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
    return TInterfacedObject::GetInterface(iid);
}

HRESULT TComObject::UnknownQueryInterface(REFIID iid, void** obj) {
    return FController ? FController->QueryInterface(iid, obj) : ObjQueryInterface(iid, obj);
}

ULONG TComObject::UnknownAddRef() { return FController ? FController->AddRef() : ObjAddRef(); }

ULONG TComObject::UnknownRelease() { return FController ? FController->Release() : ObjRelease(); }

HRESULT TComObject::InterfaceSupportsErrorInfo(REFIID iid) { return GetInterface(iid) ? S_OK : S_FALSE; }

HRESULT TComObject::SafeCallException(const std::exception_ptr& error) {
    if (!FFactory) return HandleSafeCallException(error, GUID_NULL, L"", L"");
    return HandleSafeCallException(error, FFactory->ErrorIID(), FFactory->ProgID(),
                                   FFactory->ComServer() ? FFactory->ComServer()->GetHelpFileName() : L"");
}

// ---------------------------------------------------------------------------------------------
// TTypedComObject, TAutoObject

HRESULT TTypedComObject::GetClassInfo(ITypeInfo** typeInfo) {
    if (!typeInfo) return E_POINTER;
    *typeInfo = nullptr;
    auto* factory = dynamic_cast<TTypedComObjectFactory*>(Factory());
    if (!factory || !factory->ClassInfo()) return E_NOTIMPL;
    *typeInfo = factory->ClassInfo();
    (*typeInfo)->AddRef();
    return S_OK;
}

void* TTypedComObject::GetInterface(REFIID iid) {
    if (IsEqualGUID(iid, IID_IProvideClassInfo)) return static_cast<IProvideClassInfo*>(this);
    return TComObject::GetInterface(iid);
}

TAutoObjectFactory* TAutoObject::AutoFactory() const { return dynamic_cast<TAutoObjectFactory*>(Factory()); }

void* TAutoObject::GetInterface(REFIID iid) {
    if (IsEqualGUID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
    return TTypedComObject::GetInterface(iid);
}

HRESULT TAutoObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = AutoFactory() && AutoFactory()->DispTypeInfo() ? 1 : 0;
    return S_OK;
}

HRESULT TAutoObject::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
    if (!typeInfo) return E_POINTER;
    *typeInfo = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    TAutoObjectFactory* factory = AutoFactory();
    if (!factory || !factory->DispTypeInfo()) return E_NOTIMPL;
    *typeInfo = factory->DispTypeInfo();
    (*typeInfo)->AddRef();
    return S_OK;
}

HRESULT TAutoObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* dispIds) {
    if (!IsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    TAutoObjectFactory* factory = AutoFactory();
    if (!factory || !factory->DispTypeInfo()) return E_NOTIMPL;
    return DispGetIDsOfNames(factory->DispTypeInfo(), names, count, dispIds);
}

HRESULT TAutoObject::Invoke(DISPID dispId, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* excepInfo, UINT* argErr) {
    if (!IsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    TAutoObjectFactory* factory = AutoFactory();
    if (!factory || !factory->DispInvokeInfo()) return E_NOTIMPL;
    // The type information calls the method through the interface's own table.
    void* instance = GetInterface(factory->DispIID());
    if (!instance) return E_NOINTERFACE;
    DISPPARAMS none{};
    return factory->DispInvokeInfo()->Invoke(instance, dispId, flags, params ? params : &none, result, excepInfo,
                                             argErr);
}

void TAutoObject::EventConnect(IUnknown* sink, bool connecting) { EventSinkChanged(connecting ? sink : nullptr); }

// ---------------------------------------------------------------------------------------------
// TComObjectFactory

TComObjectFactory::TComObjectFactory(TComServerObject* comServer, TComClass comClass, const GUID& classID,
                                     const std::wstring& className, const std::wstring& description,
                                     TClassInstancing instancing, TThreadingModel threadingModel)
    : FComServer(comServer), FComClass(comClass), FClassID(classID), FClassName(className),
      FDescription(description), FInstancing(instancing), FThreadingModel(threadingModel), FErrorIID(classID) {
    ComClassManager().AddObjectFactory(this);
}

TComObjectFactory::~TComObjectFactory() {
    ComClassManager().RemoveObjectFactory(this);
    if (FRegister) CoRevokeClassObject(FRegister);
}

std::wstring TComObjectFactory::GetProgID() {
    if (FClassName.empty() || !FComServer) return {};
    return FComServer->GetServerName() + L"." + FClassName;
}

void TComObjectFactory::RegisterClassObject() {
    if (FInstancing == ciInternal || FRegister) return;
    DWORD flags = FInstancing == ciSingleInstance ? REGCLS_SINGLEUSE : REGCLS_MULTIPLEUSE;
    if (FComServer && FComServer->GetStartSuspended()) flags |= REGCLS_SUSPENDED;
    OleCheck(CoRegisterClassObject(FClassID, static_cast<IClassFactory*>(this), CLSCTX_LOCAL_SERVER, flags,
                                   &FRegister));
}

void TComObjectFactory::UnRegisterClassObject() {
    if (!FRegister) return;
    DWORD cookie = std::exchange(FRegister, 0);
    OleCheck(CoRevokeClassObject(cookie));
}

void TComObjectFactory::UpdateRegistry(bool doRegister) {
    if (FInstancing == ciInternal) return;
    const std::wstring classKey = L"CLSID\\" + GUIDToString(FClassID);
    const std::wstring progID = GetProgID();
    const std::wstring serverKey = FComServer ? FComServer->GetServerKey() : L"";
    if (doRegister) {
        CreateRegKey(classKey, L"", FDescription);
        if (!serverKey.empty()) CreateRegKey(classKey + L"\\" + serverKey, L"", FComServer->GetServerFileName());
        if (!progID.empty()) {
            CreateRegKey(progID, L"", FDescription);
            CreateRegKey(progID + L"\\Clsid", L"", GUIDToString(FClassID));
            CreateRegKey(classKey + L"\\ProgID", L"", progID);
        }
    } else {
        if (!progID.empty()) {
            DeleteRegKey(classKey + L"\\ProgID");
            DeleteRegKey(progID + L"\\Clsid");
            DeleteRegKey(progID);
        }
        if (!serverKey.empty()) DeleteRegKey(classKey + L"\\" + serverKey);
        DeleteRegKey(classKey);
    }
}

TComObject* TComObjectFactory::CreateComObject(IUnknown* controller) {
    TComObject* object = FComClass();
    try {
        object->InitializeFromFactory(this, controller);
    } catch (...) {
        delete object;
        throw;
    }
    return object;
}

HRESULT TComObjectFactory::QueryInterface(REFIID iid, void** obj) {
    if (!obj) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
        *obj = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

ULONG TComObjectFactory::AddRef() { return FComServer ? static_cast<ULONG>(FComServer->CountFactory(true)) : 2; }

ULONG TComObjectFactory::Release() { return FComServer ? static_cast<ULONG>(FComServer->CountFactory(false)) : 1; }

HRESULT TComObjectFactory::CreateInstance(IUnknown* unkOuter, REFIID iid, void** obj) {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    // An aggregating controller may only ask for the inner IUnknown.
    if (unkOuter && !IsEqualGUID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    TComObject* object;
    try {
        object = CreateComObject(unkOuter);
    } catch (...) {
        return HandleSafeCallException(std::current_exception(), FErrorIID, GetProgID(), L"");
    }
    HRESULT hr = object->ObjQueryInterface(iid, obj);
    if (object->RefCount() == 0) delete object;
    return hr;
}

HRESULT TComObjectFactory::LockServer(BOOL lock) {
    if (FComServer) FComServer->CountObject(lock != FALSE);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Typed and automation factories

namespace {

TComPtr<ITypeInfo> LoadClassInfo(TComServerObject* comServer, const GUID& classID) {
    TComPtr<ITypeLib> typeLib = comServer->GetTypeLib();
    if (!typeLib) OleError(TYPE_E_CANTLOADLIBRARY);
    TComPtr<ITypeInfo> classInfo;
    OleCheck(typeLib->GetTypeInfoOfGuid(classID, classInfo.Put()));
    return classInfo;
}

std::wstring Documentation(ITypeInfo* info, bool docString) {
    TBStr name, doc;
    OleCheck(info->GetDocumentation(MEMBERID_NIL, name.Put(), doc.Put(), nullptr, nullptr));
    return docString ? doc.ToString() : name.ToString();
}

// The type attributes of a type information, released on every path.
class TTypeAttr {
public:
    explicit TTypeAttr(ITypeInfo* info) : FInfo(info) { OleCheck(info->GetTypeAttr(&FAttr)); }
    ~TTypeAttr() { FInfo->ReleaseTypeAttr(FAttr); }
    TTypeAttr(const TTypeAttr&) = delete;
    TTypeAttr& operator=(const TTypeAttr&) = delete;
    const TYPEATTR* operator->() const { return FAttr; }

private:
    ITypeInfo* FInfo;
    TYPEATTR* FAttr = nullptr;
};

} // namespace

TTypedComObjectFactory::TTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass,
                                               const GUID& classID, TClassInstancing instancing,
                                               TThreadingModel threadingModel)
    : TTypedComObjectFactory(comServer, typedComClass, classID, instancing, threadingModel,
                             LoadClassInfo(comServer, classID)) {}

TTypedComObjectFactory::TTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass,
                                               const GUID& classID, TClassInstancing instancing,
                                               TThreadingModel threadingModel, TComPtr<ITypeInfo> classInfo)
    : TComObjectFactory(comServer, typedComClass, classID, Documentation(classInfo.Get(), false),
                        Documentation(classInfo.Get(), true), instancing, threadingModel),
      FClassInfo(std::move(classInfo)) {}

TAutoObjectFactory::TAutoObjectFactory(TComServerObject* comServer, TComClass autoClass, const GUID& classID,
                                       TClassInstancing instancing, TThreadingModel threadingModel)
    : TTypedComObjectFactory(comServer, autoClass, classID, instancing, threadingModel) {
    TTypeAttr classAttr(ClassInfo());
    for (UINT i = 0; i < classAttr->cImplTypes; ++i) {
        INT flags = 0;
        OleCheck(ClassInfo()->GetImplTypeFlags(i, &flags));
        if (!(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
        HREFTYPE ref;
        OleCheck(ClassInfo()->GetRefTypeOfImplType(i, &ref));
        TComPtr<ITypeInfo> info;
        OleCheck(ClassInfo()->GetRefTypeInfo(ref, info.Put()));
        TTypeAttr attr(info.Get());
        if (flags & IMPLTYPEFLAG_FSOURCE) {
            FEventIID = attr->guid;
            FEventTypeInfo = info;
            continue;
        }
        FDispIID = attr->guid;
        FDispTypeInfo = info;
        FDispInvokeInfo = info;
        // A dual interface has two views: IDispatch answers the dispatch view, Invoke calls
        // through the vtable view.
        if (attr->wTypeFlags & TYPEFLAG_FDUAL) {
            HREFTYPE other;
            TComPtr<ITypeInfo> otherInfo;
            if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &other)) &&
                SUCCEEDED(info->GetRefTypeInfo(other, otherInfo.Put()))) {
                TTypeAttr otherAttr(otherInfo.Get());
                if (attr->typekind == TKIND_DISPATCH && otherAttr->typekind == TKIND_INTERFACE)
                    FDispInvokeInfo = otherInfo;
                else if (attr->typekind == TKIND_INTERFACE && otherAttr->typekind == TKIND_DISPATCH)
                    FDispTypeInfo = otherInfo;
            }
        }
    }
}

TComponentFactory::TComponentFactory(TComServerObject* comServer, const TComponentClass& componentClass,
                                     const GUID& classID, TClassInstancing instancing,
                                     TThreadingModel threadingModel)
    : TAutoObjectFactory(comServer, componentClass.AutoClass, classID, instancing, threadingModel),
      FComponentClass(componentClass) {}

void TComponentFactory::UpdateComponentRegistry(bool doRegister, const std::wstring& classID,
                                                const std::wstring& progID) const {
    if (FComponentClass.UpdateRegistry) FComponentClass.UpdateRegistry(doRegister, classID, progID);
}

// ---------------------------------------------------------------------------------------------
// Class manager

TComClassManager& ComClassManager() {
    // Never released: factories that live to the end of the process leave it last.
    static auto* manager = new TComClassManager;
    return *manager;
}

void TComClassManager::ForEachFactory(TComServerObject* comServer, const TFactoryProc& proc) {
    std::vector<TComObjectFactory*> snapshot;
    {
        std::lock_guard<std::mutex> lock(FLock);
        snapshot = FFactories;
    }
    for (TComObjectFactory* factory : snapshot) {
        {
            // A factory freed by an earlier call of Proc is skipped.
            std::lock_guard<std::mutex> lock(FLock);
            if (std::find(FFactories.begin(), FFactories.end(), factory) == FFactories.end()) continue;
        }
        if (factory->ComServer() == comServer) proc(factory);
    }
}

TComObjectFactory* TComClassManager::GetFactoryFromClassID(const GUID& classID) {
    std::lock_guard<std::mutex> lock(FLock);
    for (TComObjectFactory* f : FFactories)
        if (IsEqualGUID(f->ClassID(), classID)) return f;
    return nullptr;
}

TComObjectFactory* TComClassManager::GetFactoryFromClassName(const std::wstring& className) {
    std::lock_guard<std::mutex> lock(FLock);
    for (TComObjectFactory* f : FFactories)
        if (SameText(f->ClassName(), className)) return f;
    return nullptr;
}

void TComClassManager::AddObjectFactory(TComObjectFactory* factory) {
    std::lock_guard<std::mutex> lock(FLock);
    FFactories.push_back(factory);
}

void TComClassManager::RemoveObjectFactory(TComObjectFactory* factory) {
    std::lock_guard<std::mutex> lock(FLock);
    std::erase(FFactories, factory);
}

// ---------------------------------------------------------------------------------------------
// Calls through IDispatch

TOleVariant DispatchInvoke(IDispatch* dispatch, DISPID dispId, WORD flags, const std::vector<TOleVariant>& args) {
    // DISPPARAMS lists the arguments last first; the copies share the values of Args.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->Get());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    TOleVariant result;
    EXCEPINFO excep{};
    UINT argErr = 0;
    HRESULT hr = dispatch->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Get(), &excep, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        TBStr source = TBStr::Attach(excep.bstrSource), description = TBStr::Attach(excep.bstrDescription),
              helpFile = TBStr::Attach(excep.bstrHelpFile);
        HRESULT code = excep.scode ? excep.scode : (excep.wCode ? MAKE_HRESULT(1, FACILITY_DISPATCH, excep.wCode) : hr);
        std::wstring message = description.ToString();
        if (message.empty()) message = SysErrorMessage(static_cast<DWORD>(code));
        if (message.empty()) message = Format(SOleError, static_cast<unsigned>(code));
        throw EOleException(message, code, source.ToString(), helpFile.ToString(),
                            static_cast<int32_t>(excep.dwHelpContext));
    }
    OleCheck(hr);
    return result;
}

} // namespace tamrel
