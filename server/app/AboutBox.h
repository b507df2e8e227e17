#pragma once
// The About box: a borderless skinned window with the server's name, the remote-link product's
// installed version and the maker, and an "OK" button that hides it. Made hidden at start, shown
// from the tray menu.

#include <windows.h>

#include <string>

#include "skin/controls/GsButton.h"
#include "skin/controls/GsImage.h"
#include "skin/controls/SkinForm.h"
#include "skin/controls/SkinLabel.h"

namespace kelvane {

// Shown when the remote-link product's version cannot be read.
inline constexpr wchar_t kFallbackVersion[] = L"V1.00.09";

// "Version" under HKEY_LOCAL_MACHINE "SOFTWARE\NOVU\NOVU Vexolink": a REG_SZ that fits, terminator
// and all, in 260 bytes; otherwise the fallback.
std::wstring RemoteLinkVersion();

// Laid out for the DPI of its screen, and again when that changes: places and sizes of the design
// are for 96 DPI, the skin's images come from the set drawn for the scale (skin/controls/SkinScale.h).
class TAboutBox final : public skin::SkinForm {
  public:
    explicit TAboutBox(HWND owner);  // hidden, centred, skin loaded
    ~TAboutBox() override;

  private:
    void FormCreate();
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Loads the skin again for the DPI and lays the box out; problems were reported at creation.
    void rescale(int dpi);
    // The box's size, the lines' places, and the box centred on the screen that holds `place`.
    void layOut(int dpi, const RECT& place);

    skin::GsImage* m_background = nullptr;
    skin::GsButton* m_okButton = nullptr;
    skin::SkinLabel* m_serverName = nullptr;
    skin::SkinLabel* m_version = nullptr;
    skin::SkinLabel* m_maker = nullptr;
};

}  // namespace kelvane
