// A PE file held in memory, with its resource tree read from and written back to the .rsrc
// section.
#pragma once

#include "host/Streams.h"
#include "ide/msgtable/model/EvLog_PEResources.h"

#include <string>

namespace tamrel::evlog {

class TPEImage {
public:
    TMemoryStream& Image() { return FImage; }

    // Reads the whole file; without the MZ signature raises EPEError "unrecognized file format",
    // without whole PE headers (either processor) "Not a PE (WIN32 Executable) file".
    void Load(const std::wstring& fileName);
    // The RCDATA resource of that name in the module that holds the model's code (the add-in);
    // a missing resource raises the system error.
    void LoadFromResource(const std::wstring& resourceName);
    // Creates the file anew.
    void Save(const std::wstring& fileName);

    // Empties RD and reads the tree of the .rsrc section into it; without one RD stays empty.
    void GetResourceDirectory(TPEResourceDirectory& rd);
    // Writes RD over the .rsrc section, which grows or shrinks with it (see the portable
    // code's ReplaceResourceSection). Raises EPEError unless the section is the image's last,
    // in the file and in memory, with nothing after it. Without a .rsrc section nothing changes.
    void SetResourceDirectory(TPEResourceDirectory& rd);

private:
    TMemoryStream FImage;
};

} // namespace tamrel::evlog
