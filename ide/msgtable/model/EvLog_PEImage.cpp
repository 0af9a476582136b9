#include "ide/msgtable/model/EvLog_PEImage.h"

#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/PeCodec.h"

#include <windows.h>

namespace tamrel::evlog {

namespace {

// The module that holds this code: the add-in that carries the model, not the run-time DLL.
HMODULE ModelModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModelModule), &module);
    return module;
}

const uint8_t* ImageBytes(TMemoryStream& image) { return static_cast<const uint8_t*>(image.Memory()); }

msgcore::PeLayout Layout(TMemoryStream& image) {
    return CoreCall<EPEError>([&] { return msgcore::ReadPeLayout(ImageBytes(image), static_cast<size_t>(image.Size())); });
}

} // namespace

void TPEImage::Load(const std::wstring& fileName) {
    FImage.LoadFromFile(fileName);
    Layout(FImage);
}

void TPEImage::LoadFromResource(const std::wstring& resourceName) {
    HMODULE module = ModelModule();
    HRSRC info = FindResourceW(module, resourceName.c_str(), MAKEINTRESOURCEW(10));
    if (!info) RaiseLastOSError();
    HGLOBAL handle = LoadResource(module, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) RaiseLastOSError();
    FImage.Clear();
    FImage.WriteBuffer(data, static_cast<int32_t>(SizeofResource(module, info)));
    FImage.SetPosition(0);
}

void TPEImage::Save(const std::wstring& fileName) { FImage.SaveToFile(fileName); }

void TPEImage::GetResourceDirectory(TPEResourceDirectory& rd) {
    rd.Clear();
    const msgcore::PeLayout layout = Layout(FImage);
    const msgcore::PeSection* rsrc = msgcore::FindPeSection(layout, ".rsrc");
    if (!rsrc) return;
    const size_t fileSize = static_cast<size_t>(FImage.Size());
    if (rsrc->PointerToRawData > fileSize) throw EPEError(L"The resource section lies beyond the end of the file");
    const size_t size = std::min<size_t>(rsrc->SizeOfRawData, fileSize - rsrc->PointerToRawData);
    rd.Read(ImageBytes(FImage) + rsrc->PointerToRawData, size, 0, rsrc->VirtualAddress);
}

void TPEImage::SetResourceDirectory(TPEResourceDirectory& rd) {
    msgcore::ResourceNode tree;
    rd.ToNode(tree);
    msgcore::Bytes image(ImageBytes(FImage), ImageBytes(FImage) + FImage.Size());
    CoreCall<EPEError>([&] { msgcore::ReplaceResourceSection(image, tree); });
    const int64_t position = FImage.Position();
    FImage.Clear();
    FImage.WriteBuffer(image.data(), static_cast<int32_t>(image.size()));
    FImage.SetPosition(std::min<int64_t>(position, FImage.Size()));
}

} // namespace tamrel::evlog
