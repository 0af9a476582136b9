// A component that adds a notifier to the environment and turns its file and compile
// notifications into events.
#pragma once

#include "ide/framework/IdeServices.h"
#include "ide/framework/WQ_SMSBase.h"

namespace tamrel {

class TWQIDENotifier;

using TWQFileNotification = TMethod<void(const std::wstring& FileName, bool& Cancel)>;
using TWQBeforeCompile = TMethod<void(IOTAProject* Project, bool& Cancel)>;
using TWQAfterCompile = TMethod<void(bool Succeeded)>;

// The environment's side of the notifier: its calls go to virtual operations, so that a
// descendant can take them over. It may outlive its component, which clears Owner when it goes.
class TWQIIDENotifier : public TInterfaced<IOTAIDENotifier> {
public:
    explicit TWQIIDENotifier(TWQIDENotifier* owner) : Owner(owner) {}

    void AfterSave() override { DoAfterSave(); }
    void BeforeSave() override { DoBeforeSave(); }
    void Destroyed() override { DoDestroyed(); }
    void Modified() override { DoModified(); }
    void FileNotification(TOTAFileNotification notifyCode, const std::wstring& fileName, bool& cancel) override {
        DoFileNotification(notifyCode, fileName, cancel);
    }
    void BeforeCompile(IOTAProject* project, bool& cancel) override { DoBeforeCompile(project, cancel); }
    void AfterCompile(bool succeeded) override { DoAfterCompile(succeeded); }

    TWQIDENotifier* Owner;

protected:
    virtual void DoAfterSave() {}
    virtual void DoBeforeSave() {}
    virtual void DoDestroyed() {}
    virtual void DoModified() {}
    virtual void DoFileNotification(TOTAFileNotification notifyCode, const std::wstring& fileName, bool& cancel);
    virtual void DoBeforeCompile(IOTAProject* project, bool& cancel);
    virtual void DoAfterCompile(bool succeeded);
};

class TWQIDENotifier : public TWQSMSBase {
    TAMREL_CLASS(TWQIDENotifier, TWQSMSBase)
public:
    explicit TWQIDENotifier(TComponent* owner);
    ~TWQIDENotifier() override;

    TWQIIDENotifier* IDENotifier() const { return _IDENotifier.Get(); }
    int32_t IDENotifierHandle() const { return _IDENotifierHandle; }
    bool IsUnloaded() const { return _Unloaded; }

    TWQFileNotification OnFileOpening() const { return _Events[ofnFileOpening]; }
    void SetOnFileOpening(TWQFileNotification value) { _Events[ofnFileOpening] = value; }
    TWQFileNotification OnFileOpened() const { return _Events[ofnFileOpened]; }
    void SetOnFileOpened(TWQFileNotification value) { _Events[ofnFileOpened] = value; }
    TWQFileNotification OnFileClosing() const { return _Events[ofnFileClosing]; }
    void SetOnFileClosing(TWQFileNotification value) { _Events[ofnFileClosing] = value; }
    TWQFileNotification OnDefaultDesktopLoad() const { return _Events[ofnDefaultDesktopLoad]; }
    void SetOnDefaultDesktopLoad(TWQFileNotification value) { _Events[ofnDefaultDesktopLoad] = value; }
    TWQFileNotification OnDefaultDesktopSave() const { return _Events[ofnDefaultDesktopSave]; }
    void SetOnDefaultDesktopSave(TWQFileNotification value) { _Events[ofnDefaultDesktopSave] = value; }
    TWQFileNotification OnProjectDesktopLoad() const { return _Events[ofnProjectDesktopLoad]; }
    void SetOnProjectDesktopLoad(TWQFileNotification value) { _Events[ofnProjectDesktopLoad] = value; }
    TWQFileNotification OnProjectDesktopSave() const { return _Events[ofnProjectDesktopSave]; }
    void SetOnProjectDesktopSave(TWQFileNotification value) { _Events[ofnProjectDesktopSave] = value; }
    TWQFileNotification OnPackageInstalled() const { return _Events[ofnPackageInstalled]; }
    void SetOnPackageInstalled(TWQFileNotification value) { _Events[ofnPackageInstalled] = value; }
    TWQFileNotification OnPackageUninstalled() const { return _Events[ofnPackageUninstalled]; }
    void SetOnPackageUninstalled(TWQFileNotification value) { _Events[ofnPackageUninstalled] = value; }
    TWQFileNotification OnActiveProjectChanged() const { return _Events[ofnActiveProjectChanged]; }
    void SetOnActiveProjectChanged(TWQFileNotification value) { _Events[ofnActiveProjectChanged] = value; }
    TWQBeforeCompile OnBeforeCompile() const { return _OnBeforeCompile; }
    void SetOnBeforeCompile(TWQBeforeCompile value) { _OnBeforeCompile = value; }
    TWQAfterCompile OnAfterCompile() const { return _OnAfterCompile; }
    void SetOnAfterCompile(TWQAfterCompile value) { _OnAfterCompile = value; }

    // Outside a designer the notifier is added to the environment; an environment whose services
    // object lacks the notifier services raises.
    void Loaded() override;
    // Removes the notifier (only one that was really added, and only once), then frees the
    // component unless it is being destroyed already.
    virtual void Unloaded();

    // Kinds outside the ten file notifications call nothing.
    void FileNotification(int kind, const std::wstring& fileName, bool& cancel);
    void BeforeCompile(IOTAProject* project, bool& cancel);
    void AfterCompile(bool succeeded);

private:
    static constexpr int EventCount = ofnActiveProjectChanged + 1;
    TComPtr<TWQIIDENotifier> _IDENotifier;
    int32_t _IDENotifierHandle = 0;
    bool _Added = false;
    bool _Unloaded = false;
    TWQFileNotification _Events[EventCount];
    TWQBeforeCompile _OnBeforeCompile;
    TWQAfterCompile _OnAfterCompile;
};

} // namespace tamrel
