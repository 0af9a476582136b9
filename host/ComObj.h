// The host's COM server framework: COM objects, their class factories, the class manager that
// lists the factories, the server object behind them, and the registry routines of COM
// registration.
//
// A program serves a COM class with one factory object. The factory registers itself with the
// class manager when it is made and stays until the program's server object frees it; it is
// never freed by its COM reference count (AddRef and Release report to the server object's
// CountFactory). The objects it makes are TComObject descendants that list their interfaces
// with TImplements (TAutoImplements for automation objects):
//
//     class TMyObject : public TAutoImplements<TAutoObject, IMyObject> { ... };
//     new TAutoObjectFactory(server, ComClassOf<TMyObject>(), CLSID_MyObject, ciMultiInstance);
//
// Methods of COM interfaces follow the safecall rule: the body runs in SafeCall, and an
// exception that escapes it becomes the method's failure HRESULT with an error-info record
// (ISupportErrorInfo tells the caller to look for it).
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "host/Interfaced.h"

#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tamrel {

// The cast of an interface reference to an interface the object does not support.
TAMREL_EXCEPTION_CLASS(EIntfCastError, Exception);
inline constexpr wchar_t SIntfCastError[] = L"Interface not supported";

// ---------------------------------------------------------------------------------------------
// OLE errors

TAMREL_EXCEPTION_CLASS(EOleError, Exception);

// A failing HRESULT with its system text.
class EOleSysError : public EOleError {
public:
    EOleSysError(std::wstring message, HRESULT errorCode, int32_t helpContext = 0)
        : EOleError(std::move(message)), FErrorCode(errorCode), FHelpContext(helpContext) {}
    HRESULT ErrorCode() const { return FErrorCode; }
    int32_t HelpContext() const { return FHelpContext; }
    const wchar_t* ClassName() const override { return L"EOleSysError"; }

private:
    HRESULT FErrorCode;
    int32_t FHelpContext;
};

// A failure that a called object described (an error-info record or an EXCEPINFO).
class EOleException : public EOleSysError {
public:
    EOleException(std::wstring message, HRESULT errorCode, std::wstring source, std::wstring helpFile,
                  int32_t helpContext)
        : EOleSysError(std::move(message), errorCode, helpContext), FSource(std::move(source)),
          FHelpFile(std::move(helpFile)) {}
    const std::wstring& Source() const { return FSource; }
    const std::wstring& HelpFile() const { return FHelpFile; }
    const wchar_t* ClassName() const override { return L"EOleException"; }

private:
    std::wstring FSource;
    std::wstring FHelpFile;
};

// Host text of an HRESULT without a system message.
inline constexpr wchar_t SOleError[] = L"OLE error %.8X";

// Raises EOleSysError for ErrorCode with the system's text for it.
[[noreturn]] TAMREL_API void OleError(HRESULT errorCode);
// Raises when Result is a failure; answers it otherwise.
TAMREL_API HRESULT OleCheck(HRESULT result);

// The host's "as" cast: the object's interface U, raising EIntfCastError when it has none; an
// empty pointer gives an empty one.
template <class U, class T> TComPtr<U> InterfaceCast(const TComPtr<T>& p) {
    TComPtr<U> r;
    if (p && FAILED(p.As(r))) throw EIntfCastError(SIntfCastError);
    return r;
}

// ---------------------------------------------------------------------------------------------
// TBStr: an owned BSTR.

class TAMREL_API TBStr {
public:
    TBStr() = default;
    explicit TBStr(std::wstring_view s);
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;
    TBStr(TBStr&& o) noexcept : FStr(std::exchange(o.FStr, nullptr)) {}
    TBStr& operator=(TBStr&& o) noexcept;
    ~TBStr() { Reset(); }

    static TBStr Attach(BSTR s) {
        TBStr r;
        r.FStr = s;
        return r;
    }
    BSTR Get() const { return FStr; }
    BSTR* Put() {
        Reset();
        return &FStr;
    }
    BSTR Detach() { return std::exchange(FStr, nullptr); }
    void Reset();
    std::wstring ToString() const;

private:
    BSTR FStr = nullptr;
};

// A BSTR's text (a nil BSTR is the empty string; embedded nulls are kept).
TAMREL_API std::wstring BStrToString(BSTR s);

// ---------------------------------------------------------------------------------------------
// TOleVariant: an owned VARIANT.

class TAMREL_API TOleVariant {
public:
    TOleVariant() { VariantInit(&FValue); }
    explicit TOleVariant(std::wstring_view s);
    explicit TOleVariant(int32_t v);
    TOleVariant(const TOleVariant& o);
    TOleVariant& operator=(const TOleVariant& o);
    ~TOleVariant() { VariantClear(&FValue); }

    VARIANT* Get() { return &FValue; }
    const VARIANT* Get() const { return &FValue; }
    VARTYPE Type() const { return V_VT(&FValue); }
    // The value as text (VariantChangeType to VT_BSTR); raises EOleSysError when it cannot.
    std::wstring ToString() const;

private:
    VARIANT FValue;
};

class TComObject;
class TComObjectFactory;

TAMREL_ENUM(TClassInstancing, ciInternal, ciSingleInstance, ciMultiInstance);
TAMREL_ENUM(TThreadingModel, tmSingle, tmApartment, tmFree, tmBoth, tmNeutral);

// A failing registry write of COM registration.
TAMREL_EXCEPTION_CLASS(EOleRegistrationError, EOleError);
inline constexpr wchar_t SCreateRegKeyError[] = L"Error creating system registry entry";

// ---------------------------------------------------------------------------------------------
// Registry routines (default root HKEY_CLASSES_ROOT)

// Creates Key and sets its value ValueName (empty: the default value) to Value; raises
// EOleRegistrationError when the key cannot be created or written.
TAMREL_API void CreateRegKey(const std::wstring& key, const std::wstring& valueName, const std::wstring& value,
                  HKEY rootKey = HKEY_CLASSES_ROOT);
// Deletes one key (not its subkeys); a missing key is no error and nothing raises.
TAMREL_API void DeleteRegKey(const std::wstring& key, HKEY rootKey = HKEY_CLASSES_ROOT);
// Deletes a named value of a key; a missing key or value is no error.
TAMREL_API void DeleteRegValue(const std::wstring& key, const std::wstring& valueName, HKEY rootKey = HKEY_CLASSES_ROOT);

// ---------------------------------------------------------------------------------------------
// The server object: what the factories and objects of one program (or library) ask of it.

class TComServerObject : public TObject {
public:
    // Live objects and factories; Created = false counts one down. Answer the new count.
    virtual int32_t CountObject(bool created) = 0;
    virtual int32_t CountFactory(bool created) = 0;
    virtual std::wstring GetHelpFileName() = 0;
    virtual std::wstring GetServerFileName() = 0;
    virtual std::wstring GetServerKey() = 0;
    virtual std::wstring GetServerName() = 0;
    virtual bool GetStartSuspended() = 0;
    // The server's type library; raises when it cannot be loaded.
    virtual TComPtr<ITypeLib> GetTypeLib() = 0;
    virtual void SetHelpFileName(const std::wstring& value) = 0;
};

// ---------------------------------------------------------------------------------------------
// The safecall rule

// The HRESULT for an exception caught at an interface method, with an error-info record set for
// the calling thread: an OLE error keeps its code, anything else is E_UNEXPECTED (a failure is
// never answered as a success). The record carries ErrorIID, Source (or the OLE exception's own
// source), HelpFile and the exception's message.
TAMREL_API HRESULT HandleSafeCallException(const std::exception_ptr& error, REFGUID errorIID, const std::wstring& source,
                                const std::wstring& helpFile);

// ---------------------------------------------------------------------------------------------
// COM objects

// How a factory makes an object of its class (not yet bound to the factory).
using TComClass = TComObject* (*)();
template <class T> TComObject* MakeComObject() { return new T(); }
template <class T> constexpr TComClass ComClassOf() { return &MakeComObject<T>; }

class TAMREL_API TComObject : public TInterfacedObject, public ISupportErrorInfo {
public:
    TComObject() = default;
    ~TComObject() override;

    // Binds the object to the factory that made it (and to an aggregating controller), counts
    // it with the server object and runs Initialize.
    void InitializeFromFactory(TComObjectFactory* factory, IUnknown* controller);
    // Runs once the object is bound to its factory; descendants set themselves up here.
    virtual void Initialize() {}

    TComObjectFactory* Factory() const { return FFactory; }
    // The aggregating controller, or null.
    IUnknown* Controller() const { return FController; }

    // The identity: the non-delegating IUnknown when aggregated, the object's own otherwise.
    void* GetInterface(REFIID iid) override;
    HRESULT UnknownQueryInterface(REFIID iid, void** obj) override;
    ULONG UnknownAddRef() override;
    ULONG UnknownRelease() override;

    // ISupportErrorInfo: every interface of the object reports its failures with error info.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // The failure HRESULT of an exception (the factory's error IID, ProgID and help file).
    virtual HRESULT SafeCallException(const std::exception_ptr& error);
    // Runs Body under the safecall rule.
    template <class F> HRESULT SafeCall(F&& body) noexcept {
        try {
            body();
            return S_OK;
        } catch (...) {
            return SafeCallException(std::current_exception());
        }
    }

private:
    // The non-delegating IUnknown that an aggregating controller holds.
    struct TInnerUnknown : IUnknown {
        TComObject* Owner;
        explicit TInnerUnknown(TComObject* owner) : Owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** obj) override {
            return Owner->ObjQueryInterface(iid, obj);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return Owner->ObjAddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return Owner->ObjRelease(); }
    };
    TInnerUnknown FInner{this};
    TComObjectFactory* FFactory = nullptr;
    IUnknown* FController = nullptr; // not counted: the controller holds us
    bool FCounted = false;
};

// An object of a class described by the type library: IProvideClassInfo.
class TAMREL_API TTypedComObject : public TComObject, public IProvideClassInfo {
public:
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** typeInfo) override;
    void* GetInterface(REFIID iid) override;
};

class TAutoObjectFactory;

// An automation object: IDispatch served from the type information of the class's default
// interface, dispatching to the object's dual (or dispatch) interface; events through a
// connection point whose connect callback is EventConnect.
class TAMREL_API TAutoObject : public TTypedComObject, public IDispatch {
public:
    TAutoObjectFactory* AutoFactory() const;

    void* GetInterface(REFIID iid) override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispIds) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    // The callback of the event connection point: a sink connects (Connecting) or goes.
    void EventConnect(IUnknown* sink, bool connecting);

protected:
    // A sink connected (or, with nil, disconnected).
    virtual void EventSinkChanged(IUnknown* /*eventSink*/) {}
};

// Lists the interfaces of a concrete COM object. For automation objects, TAutoImplements also
// sends the IDispatch methods of a listed dual interface to TAutoObject's.
template <class Base, class... Interfaces> class TAutoImplements : public TImplements<Base, Interfaces...> {
public:
    using TImplements<Base, Interfaces...>::TImplements;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return Base::GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override {
        return Base::GetTypeInfo(index, lcid, typeInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispIds) override {
        return Base::GetIDsOfNames(iid, names, count, lcid, dispIds);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
        return Base::Invoke(dispId, iid, lcid, flags, params, result, excepInfo, argErr);
    }
};

// ---------------------------------------------------------------------------------------------
// Class factories

class TAMREL_API TComObjectFactory : public IClassFactory {
public:
    // Registers the factory with the class manager.
    TComObjectFactory(TComServerObject* comServer, TComClass comClass, const GUID& classID,
                      const std::wstring& className, const std::wstring& description, TClassInstancing instancing,
                      TThreadingModel threadingModel = tmSingle);
    // Leaves the class manager.
    virtual ~TComObjectFactory();
    TComObjectFactory(const TComObjectFactory&) = delete;
    TComObjectFactory& operator=(const TComObjectFactory&) = delete;

    TComServerObject* ComServer() const { return FComServer; }
    TComClass ComClass() const { return FComClass; }
    const GUID& ClassID() const { return FClassID; }
    const std::wstring& ClassName() const { return FClassName; }
    const std::wstring& Description() const { return FDescription; }
    TClassInstancing Instancing() const { return FInstancing; }
    TThreadingModel ThreadingModel() const { return FThreadingModel; }
    // The IID of error-info records of the class's objects (the class ID unless set).
    const GUID& ErrorIID() const { return FErrorIID; }
    void SetErrorIID(const GUID& value) { FErrorIID = value; }
    std::wstring ProgID() { return GetProgID(); }

    virtual std::wstring GetProgID();
    // Registers the class object with COM (REGCLS_MULTIPLEUSE for multi-instance classes);
    // nothing for internal classes; raises EOleSysError on failure.
    virtual void RegisterClassObject();
    virtual void UnRegisterClassObject();
    // Writes (Register) or removes the class's registry entries.
    virtual void UpdateRegistry(bool doRegister);
    // Makes a new object of the class, bound to this factory.
    virtual TComObject* CreateComObject(IUnknown* controller);

    // IUnknown: the factory's life is the class manager's; references are reported to the
    // server object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** obj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* unkOuter, REFIID iid, void** obj) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    TComServerObject* FComServer;
    TComClass FComClass;
    GUID FClassID;
    std::wstring FClassName;
    std::wstring FDescription;
    TClassInstancing FInstancing;
    TThreadingModel FThreadingModel;
    GUID FErrorIID;
    DWORD FRegister = 0; // the cookie of the host's own registration
};

// A factory whose class is described by the server's type library: the class name and the
// description come from the coclass.
class TAMREL_API TTypedComObjectFactory : public TComObjectFactory {
public:
    // Raises EOleSysError when the type library or the coclass cannot be read.
    TTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass, const GUID& classID,
                           TClassInstancing instancing, TThreadingModel threadingModel = tmSingle);
    // The coclass's type information.
    ITypeInfo* ClassInfo() const { return FClassInfo.Get(); }

private:
    TTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass, const GUID& classID,
                           TClassInstancing instancing, TThreadingModel threadingModel,
                           TComPtr<ITypeInfo> classInfo);
    TComPtr<ITypeInfo> FClassInfo;
};

// A factory of automation objects: the default interface (served through IDispatch) and the
// default source interface (the events) of the coclass.
class TAMREL_API TAutoObjectFactory : public TTypedComObjectFactory {
public:
    TAutoObjectFactory(TComServerObject* comServer, TComClass autoClass, const GUID& classID,
                       TClassInstancing instancing, TThreadingModel threadingModel = tmSingle);

    // The default interface: its IID, the type information IDispatch answers (the dispatch
    // view), and the one Invoke runs on (the vtable view of a dual interface).
    const GUID& DispIID() const { return FDispIID; }
    ITypeInfo* DispTypeInfo() const { return FDispTypeInfo.Get(); }
    ITypeInfo* DispInvokeInfo() const { return FDispInvokeInfo.Get(); }
    // The events: IID_NULL and nil when the coclass has no default source interface.
    const GUID& EventIID() const { return FEventIID; }
    ITypeInfo* EventTypeInfo() const { return FEventTypeInfo.Get(); }

private:
    GUID FDispIID = GUID_NULL;
    TComPtr<ITypeInfo> FDispTypeInfo, FDispInvokeInfo;
    GUID FEventIID = GUID_NULL;
    TComPtr<ITypeInfo> FEventTypeInfo;
};

// What a component class that serves COM (a remote data module) adds to an automation class:
// its class-level registration.
struct TComponentClass {
    TComClass AutoClass = nullptr;
    // Writes or removes the class's own entries; may be null.
    void (*UpdateRegistry)(bool doRegister, const std::wstring& classID, const std::wstring& progID) = nullptr;
};

class TAMREL_API TComponentFactory : public TAutoObjectFactory {
public:
    TComponentFactory(TComServerObject* comServer, const TComponentClass& componentClass, const GUID& classID,
                      TClassInstancing instancing, TThreadingModel threadingModel = tmSingle);
    const TComponentClass& ComponentClass() const { return FComponentClass; }
    // The component class's class-level registration (nothing when it has none).
    void UpdateComponentRegistry(bool doRegister, const std::wstring& classID, const std::wstring& progID) const;

private:
    TComponentClass FComponentClass;
};

// ---------------------------------------------------------------------------------------------
// The class manager: every factory of the process, in the order they were made.

class TAMREL_API TComClassManager {
public:
    using TFactoryProc = std::function<void(TComObjectFactory* factory)>;
    // Calls Proc for every factory of ComServer, in order. Proc may free the factory it gets;
    // factories made or freed by other threads meanwhile are not seen.
    void ForEachFactory(TComServerObject* comServer, const TFactoryProc& proc);
    // Null when no factory serves the class.
    TComObjectFactory* GetFactoryFromClassID(const GUID& classID);
    TComObjectFactory* GetFactoryFromClassName(const std::wstring& className);

    void AddObjectFactory(TComObjectFactory* factory);
    void RemoveObjectFactory(TComObjectFactory* factory);

private:
    std::mutex FLock;
    std::vector<TComObjectFactory*> FFactories;
};

TAMREL_API TComClassManager& ComClassManager();

// ---------------------------------------------------------------------------------------------
// Calls through IDispatch

// Invokes a method by its DISPID with the arguments in their natural order (the first argument
// first); a DISP_E_EXCEPTION raises EOleException with the callee's description, any other
// failure EOleSysError.
TAMREL_API TOleVariant DispatchInvoke(IDispatch* dispatch, DISPID dispId, WORD flags, const std::vector<TOleVariant>& args);

} // namespace tamrel
