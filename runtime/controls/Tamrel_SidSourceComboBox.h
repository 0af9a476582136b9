// Where principals can come from: the local computer, then every domain whose controller
// answers, each with its glyph.
#pragma once

#include "runtime/controls/Tamrel_ComboBox.h"

#include <memory>
#include <vector>

namespace tamrel {

// One source. The SID center's unit names its enumeration of SID forms TrkSidSource too: this
// class is named with its unit, Tamrel_SidSourceComboBox::TrkSidSource.
namespace Tamrel_SidSourceComboBox {
class TAMREL_API TrkSidSource : public TObject {
public:
    TrkSidSource(const std::wstring& Server, const std::wstring& Domain, int ImageIndex)
        : FServer(Server), FDomain(Domain), FDisplayName(Domain), FImageIndex(ImageIndex) {}
    // The domain controller without its leading backslashes; empty for the local computer.
    const std::wstring& Server() const { return FServer; }
    const std::wstring& Domain() const { return FDomain; }
    const std::wstring& DisplayName() const { return FDisplayName; }
    // 0 computer, 1 domain.
    int ImageIndex() const { return FImageIndex; }

private:
    std::wstring FServer, FDomain, FDisplayName;
    int FImageIndex;
};
} // namespace Tamrel_SidSourceComboBox

// Loads the computer and domain glyphs once per process.
TAMREL_API void LoadSidSourceGlyphs();

class TAMREL_API TrkSidSourceComboBox : public TrkCustomComboBox {
    TAMREL_CLASS(TrkSidSourceComboBox, TrkCustomComboBox)
public:
    explicit TrkSidSourceComboBox(TComponent* AOwner);
    ~TrkSidSourceComboBox() override;

    // Valid until the next refresh or Clear.
    Tamrel_SidSourceComboBox::TrkSidSource* SidSources(int Index) const;
    int Count() const { return static_cast<int>(FSources.size()); }
    // The computer first, then the domains with a controller. An enumeration failure raises the
    // system's error (the records found so far stay); a network without domain browsing (6118)
    // has just the computer.
    void Refresh();
    void Clear();

    void SetParent(TWinControl* AParent) override;
    void Loaded() override;

protected:
    int GetCount() override { return Count(); }
    int GetImageIndex(int Index) override;
    std::wstring GetStrings(int Index) override;
    int GetGlyphWidth() override { return 24; }
    int GetGlyphHeight() override { return 22; }
    void DrawGlyph(RECT Rect, int Index) override;

private:
    std::vector<std::unique_ptr<Tamrel_SidSourceComboBox::TrkSidSource>> FSources;
};

} // namespace tamrel
