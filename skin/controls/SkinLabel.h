#pragma once
// A one-line text label with a transparent background: it shows the form's windowless controls
// beneath it and sizes itself to its text. A window of its own, so its text can be read like any
// label's.

#include <string_view>

#include "skin/controls/SkinForm.h"
#include "skin/paint/Bitmap.h"

namespace skin {

class SkinLabel final : public win32::Window, public SkinComponent {
  public:
    static constexpr wchar_t kClassName[] = L"SkinLabel";

    explicit SkinLabel(SkinForm& form);  // hidden, 100 x 16 at (0, 0)
    ~SkinLabel() override;

    void setText(std::wstring_view text);
    void setFont(const Font& font);
    void setPosition(int left, int top);
    void show() { ::ShowWindow(hwnd(), SW_SHOWNA); }

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void fitToText();

    SkinForm& m_form;
    Font m_font = Font::platformDefault();
};

}  // namespace skin
