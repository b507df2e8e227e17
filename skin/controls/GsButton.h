#pragma once
// Skinned push buttons: GsCustomControl follows the mouse and the keyboard and repaints at once on
// every change; GsCustomButton lays out the caption and composes a face over the form's background
// image; GsButton shows one image and one text effect per state.

#include <windows.h>

#include <functional>
#include <string>

#include "skin/controls/ControlInput.h"
#include "skin/controls/SkinForm.h"
#include "skin/paint/Bitmap.h"
#include "skin/props/Appearance.h"
#include "skin/props/TextEffects.h"

namespace skin {

using NotifyEvent = std::function<void()>;

// A focusable child window with hover, press and key state. A left press captures the mouse, so a
// release outside still ends the press; Space and Enter go to the control in the form's keyboard
// handling.
class GsCustomControl : public win32::Window, public SkinComponent {
  public:
    static constexpr wchar_t kClassName[] = L"GsButton";

    ~GsCustomControl() override;

    bool Repeated() const { return m_repeated; }
    void setRepeated(bool on) { m_repeated = on; }
    NotifyEvent OnMouseEnter;
    NotifyEvent OnMouseLeave;
    // The form's background image, borrowed: its owner must outlive the control.
    const Bitmap* InputBkgnd() const { return m_inputBkgnd; }
    void setInputBkgnd(const Bitmap* background);

    const Font& font() const { return m_font; }
    virtual void setFont(const Font& font);
    std::wstring Caption() const;
    void setCaption(std::wstring_view caption);
    bool enabled() const { return ::IsWindowEnabled(hwnd()) != FALSE; }
    bool focused() const { return ::GetFocus() == hwnd(); }
    const ControlInput& input() const { return m_input; }
    // Where the control lies in its form's client area.
    RECT boundsInForm() const;
    void setBounds(int left, int top, int width, int height);

    virtual bool IsInside(int x, int y) const;

  protected:
    GsCustomControl(SkinForm& form, DWORD extraStyle);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Draws the whole control.
    virtual void paint(Canvas& canvas) = 0;
    // A left press and release both inside the control, or Space or Enter pressed and released on it.
    virtual void click() {}
    void repaintNow();
    SkinForm& m_form;

  private:
    void react(const InputReaction& reaction);
    void armTracking();
    void mouseDown(MouseButton button);

    ControlInput m_input;
    bool m_repeated = false;
    const Bitmap* m_inputBkgnd = nullptr;
    Font m_font = Font::platformDefault();
};

class GsCustomButton : public GsCustomControl {
  public:
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    TextAlignment Alignment() const { return m_alignment; }
    void setAlignment(TextAlignment alignment);
    TextLayout Layout() const { return m_layout; }
    void setLayout(TextLayout layout);
    GsTextMargins& TextMargins() { return m_textMargins; }
    int lastPaintedState() const { return m_lastPaintedState; }

    virtual void GetImageSize(int& width, int& height) = 0;
    // The caption through the state's painter, in the text rectangle (the client area less the margins).
    virtual void DrawCaption(Bitmap& bitmap, int state);
    virtual TextPainter& GetTextPainter(int state) = 0;
    // The face over the form's background at the control's place, the caption, then onto the canvas.
    void ComposeAndPaint(Bitmap& bitmap, int state, Canvas& canvas);

  protected:
    explicit GsCustomButton(SkinForm& form);
    int m_lastPaintedState = -1;

  private:
    bool m_wordWrap = false;
    TextAlignment m_alignment = TextAlignment::Center;
    TextLayout m_layout = TextLayout::Center;
    GsTextMargins m_textMargins;
};

class GsButton : public GsCustomButton {
  public:
    // Size of a button without a Raised image.
    static constexpr int kDefaultWidth = 75, kDefaultHeight = 25;

    explicit GsButton(SkinForm& form);  // hidden until shown
    ~GsButton() override;

    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }
    GsButtonAppearance& Appearance() { return m_appearance; }
    GsButtonOuterGlowTextEffect& TextEffect() { return m_textEffect; }
    // Also the font of the Raised text effect, which the other states copy when first used.
    void setFont(const Font& font) override;
    NotifyEvent OnClick;

    virtual int UpdateState();
    virtual void PaintState(Canvas& canvas);
    void GetImageSize(int& width, int& height) override;
    TextPainter& GetTextPainter(int state) override;

  protected:
    void paint(Canvas& canvas) override { PaintState(canvas); }
    void click() override;

  private:
    void appearanceChanged(int state);

    int m_modalResult = 0;
    GsButtonAppearance m_appearance;
    int m_state = 0;
    GsButtonOuterGlowTextEffect m_textEffect;
};

}  // namespace skin
