// Creators, files and wizards written against the add-in services alone, as an add-in writes
// them: used by the probe add-ins and by the tests that act as an add-in themselves. Each
// creator appends every call it gets to an event list.
#pragma once

#include "host/SysUtils.h"
#include "ide/framework/IdeServices.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tamrel::probe {

using TEvents = std::vector<std::wstring>;

class TProbeFile : public TInterfaced<IOTAFile> {
public:
    explicit TProbeFile(std::wstring source) : FSource(std::move(source)) {}
    std::wstring GetSource() override { return FSource; }
    double GetAge() override { return -1; }

private:
    std::wstring FSource;
};

inline TComPtr<IOTAFile> NewFile(const std::wstring& source) { return MakeInterfaced<TProbeFile, IOTAFile>(source); }

// The active project of the open project group, found the way an add-in finds it.
inline TComPtr<IOTAProject> ActiveProject() {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    for (int32_t i = 0; modules && i < modules->GetModuleCount(); ++i)
        if (auto group = modules->GetModule(i).As<IOTAProjectGroup>()) return group->GetActiveProject();
    return {};
}

class TProbeModuleCreator : public TInterfaced<IOTAModuleCreator> {
public:
    struct TSettings {
        std::wstring Type = L"Form";
        std::wstring Ancestor = L"DataModule";
        std::wstring ImplFile;
        std::wstring FormName;
        std::wstring Source = L"unit ~;";
        bool FailImplSource = false;
        std::function<void(IOTAFormEditor*)> OnFormCreated;
    };
    TProbeModuleCreator(TEvents& events, TSettings settings) : FEvents(events), FSettings(std::move(settings)) {}

    std::wstring GetCreatorType() override { return Note(L"GetCreatorType", FSettings.Type); }
    bool GetExisting() override { return Note(L"GetExisting", false); }
    std::wstring GetFileSystem() override { return Note(L"GetFileSystem", std::wstring()); }
    TComPtr<IOTAModule> GetOwner() override { return Note(L"GetOwner", TComPtr<IOTAModule>(ActiveProject())); }
    bool GetUnnamed() override { return Note(L"GetUnnamed", true); }
    std::wstring GetAncestorName() override { return Note(L"GetAncestorName", FSettings.Ancestor); }
    std::wstring GetImplFileName() override { return Note(L"GetImplFileName", FSettings.ImplFile); }
    std::wstring GetIntfFileName() override { return Note(L"GetIntfFileName", std::wstring()); }
    std::wstring GetFormName() override { return Note(L"GetFormName", FSettings.FormName); }
    bool GetMainForm() override { return Note(L"GetMainForm", false); }
    bool GetShowForm() override { return Note(L"GetShowForm", true); }
    bool GetShowSource() override { return Note(L"GetShowSource", true); }
    TComPtr<IOTAFile> NewFormFile(const std::wstring& form, const std::wstring& ancestor) override {
        return Note(L"NewFormFile(" + form + L"," + ancestor + L")", TComPtr<IOTAFile>());
    }
    TComPtr<IOTAFile> NewImplSource(const std::wstring& unit, const std::wstring& form, const std::wstring& ancestor) override {
        Note(L"NewImplSource(" + unit + L"," + form + L"," + ancestor + L")", 0);
        if (FSettings.FailImplSource) throw Exception(L"probe creator failed");
        std::wstring source = FSettings.Source;
        if (const size_t at = source.find(L'~'); at != std::wstring::npos) source.replace(at, 1, unit);
        return NewFile(source);
    }
    TComPtr<IOTAFile> NewIntfSource(const std::wstring& unit, const std::wstring& form, const std::wstring& ancestor) override {
        return Note(L"NewIntfSource(" + unit + L"," + form + L"," + ancestor + L")", TComPtr<IOTAFile>());
    }
    void FormCreated(IOTAFormEditor* formEditor) override {
        Note(L"FormCreated", 0);
        if (FSettings.OnFormCreated) FSettings.OnFormCreated(formEditor);
    }

private:
    template <class T> T Note(const std::wstring& event, T answer) {
        FEvents.push_back(event);
        return answer;
    }
    TEvents& FEvents;
    TSettings FSettings;
};

class TProbeProjectCreator : public TInterfaced<IOTAProjectCreator80> {
public:
    TProbeProjectCreator(TEvents& events, std::wstring source, std::function<void()> onDefaultModule)
        : FEvents(events), FSource(std::move(source)), FOnDefaultModule(std::move(onDefaultModule)) {}

    std::wstring GetCreatorType() override { return Note(L"GetCreatorType", std::wstring(L"Application")); }
    bool GetExisting() override { return Note(L"GetExisting", false); }
    std::wstring GetFileSystem() override { return Note(L"GetFileSystem", std::wstring()); }
    TComPtr<IOTAModule> GetOwner() override { return Note(L"GetOwner", TComPtr<IOTAModule>()); }
    bool GetUnnamed() override { return Note(L"GetUnnamed", true); }
    std::wstring GetFileName() override { return Note(L"GetFileName", std::wstring()); }
    std::wstring GetOptionFileName() override { return Note(L"GetOptionFileName", std::wstring()); }
    bool GetShowSource() override { return Note(L"GetShowSource", true); }
    std::wstring GetProjectPersonality() override { return Note(L"GetProjectPersonality", std::wstring(L"Delphi.Personality")); }
    TComPtr<IOTAFile> NewProjectSource(const std::wstring& name) override {
        Note(L"NewProjectSource(" + name + L")", 0);
        return NewFile(L"program " + name + L";\r\n\r\nuses\r\n  Forms;\r\n\r\nbegin\r\nend.\r\n" + FSource);
    }
    TComPtr<IOTAFile> NewOptionSource(const std::wstring& name) override {
        return Note(L"NewOptionSource(" + name + L")", TComPtr<IOTAFile>());
    }
    void NewDefaultProjectModule(IOTAProject*) override { Note(L"NewDefaultProjectModule", 0); }
    void NewDefaultModule() override {
        Note(L"NewDefaultModule", 0);
        if (FOnDefaultModule) FOnDefaultModule();
    }
    void NewProjectResource(IOTAProject*) override { Note(L"NewProjectResource", 0); }

private:
    template <class T> T Note(const std::wstring& event, T answer) {
        FEvents.push_back(event);
        return answer;
    }
    TEvents& FEvents;
    std::wstring FSource;
    std::function<void()> FOnDefaultModule;
};

class TProbeWizard : public TInterfaced<IOTAProjectWizard> {
public:
    TProbeWizard(std::wstring id, std::function<void()> execute, HICON glyph = nullptr)
        : FId(std::move(id)), FExecute(std::move(execute)), FGlyph(glyph) {}

    void AfterSave() override {}
    void BeforeSave() override {}
    void Destroyed() override {}
    void Modified() override {}
    std::wstring GetIDString() override { return FId; }
    std::wstring GetName() override { return FId + L" wizard"; }
    TWizardState GetState() override { return {wsEnabled}; }
    void Execute() override {
        if (FExecute) FExecute();
    }
    std::wstring GetAuthor() override { return L"Probe"; }
    std::wstring GetComment() override { return L"A probe"; }
    std::wstring GetPage() override { return L"Probe"; }
    HICON GetGlyph() override { return std::exchange(FGlyph, nullptr); }

private:
    std::wstring FId;
    std::function<void()> FExecute;
    HICON FGlyph;
};

inline TComPtr<IOTAModule> CreateModule(IOTACreator* creator) {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    return modules ? modules->CreateModule(creator) : TComPtr<IOTAModule>();
}

// A project whose default module is a unit with a form of the given ancestor.
inline TComPtr<IOTAModule> CreateProjectWithUnit(TEvents& events, TProbeModuleCreator::TSettings unit) {
    auto project = MakeInterfaced<TProbeProjectCreator, IOTACreator>(events, L"", [&events, unit] {
        CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
    });
    return CreateModule(project.Get());
}

} // namespace tamrel::probe
