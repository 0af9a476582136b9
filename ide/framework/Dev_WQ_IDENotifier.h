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

    TWQIIDENotifier* IDENotifier() const { return FIDENotifier.Get(); }
    int32_t IDENotifierHandle() const { return FIDENotifierHandle; }
    bool IsUnloaded() const { return FUnloaded; }

    TWQFileNotification OnFileOpening() const { return FEvents[ofnFileOpening]; }
    void SetOnFileOpening(TWQFileNotification value) { FEvents[ofnFileOpening] = value; }
    TWQFileNotification OnFileOpened() const { return FEvents[ofnFileOpened]; }
    void SetOnFileOpened(TWQFileNotification value) { FEvents[ofnFileOpened] = value; }
    TWQFileNotification OnFileClosing() const { return FEvents[ofnFileClosing]; }
    void SetOnFileClosing(TWQFileNotification value) { FEvents[ofnFileClosing] = value; }
    TWQFileNotification OnDefaultDesktopLoad() const { return FEvents[ofnDefaultDesktopLoad]; }
    void SetOnDefaultDesktopLoad(TWQFileNotification value) { FEvents[ofnDefaultDesktopLoad] = value; }
    TWQFileNotification OnDefaultDesktopSave() const { return FEvents[ofnDefaultDesktopSave]; }
    void SetOnDefaultDesktopSave(TWQFileNotification value) { FEvents[ofnDefaultDesktopSave] = value; }
    TWQFileNotification OnProjectDesktopLoad() const { return FEvents[ofnProjectDesktopLoad]; }
    void SetOnProjectDesktopLoad(TWQFileNotification value) { FEvents[ofnProjectDesktopLoad] = value; }
    TWQFileNotification OnProjectDesktopSave() const { return FEvents[ofnProjectDesktopSave]; }
    void SetOnProjectDesktopSave(TWQFileNotification value) { FEvents[ofnProjectDesktopSave] = value; }
    TWQFileNotification OnPackageInstalled() const { return FEvents[ofnPackageInstalled]; }
    void SetOnPackageInstalled(TWQFileNotification value) { FEvents[ofnPackageInstalled] = value; }
    TWQFileNotification OnPackageUninstalled() const { return FEvents[ofnPackageUninstalled]; }
    void SetOnPackageUninstalled(TWQFileNotification value) { FEvents[ofnPackageUninstalled] = value; }
    TWQFileNotification OnActiveProjectChanged() const { return FEvents[ofnActiveProjectChanged]; }
    void SetOnActiveProjectChanged(TWQFileNotification value) { FEvents[ofnActiveProjectChanged] = value; }
    TWQBeforeCompile OnBeforeCompile() const { return FOnBeforeCompile; }
    void SetOnBeforeCompile(TWQBeforeCompile value) { FOnBeforeCompile = value; }
    TWQAfterCompile OnAfterCompile() const { return FOnAfterCompile; }
    void SetOnAfterCompile(TWQAfterCompile value) { FOnAfterCompile = value; }

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
    TComPtr<TWQIIDENotifier> FIDENotifier;
    int32_t FIDENotifierHandle = 0;
    bool FAdded = false;
    bool FUnloaded = false;
    TWQFileNotification FEvents[EventCount];
    TWQBeforeCompile FOnBeforeCompile;
    TWQAfterCompile FOnAfterCompile;
};

} // namespace tamrel
