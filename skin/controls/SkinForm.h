#pragma once
// A window that hosts skinned controls: it owns them, frees them newest first (so a button goes
// before the background image it borrows), and paints its windowless controls itself.

#include <windows.h>

#include <memory>
#include <vector>

#include "skin/paint/Bitmap.h"
#include "win32/Window.h"

namespace skin {

class SkinForm;

// Anything a form owns and frees with itself.
class SkinComponent {
  public:
    virtual ~SkinComponent() = default;
};

// A control without a window of its own: the form paints it, in creation order, under its
// windowed controls.
class GraphicControl : public SkinComponent {
  public:
    explicit GraphicControl(SkinForm& form);
    ~GraphicControl() override;

    const RECT& bounds() const { return m_bounds; }
    int width() const { return m_bounds.right - m_bounds.left; }
    int height() const { return m_bounds.bottom - m_bounds.top; }
    void setBounds(int left, int top, int width, int height);
    void invalidate();

    // Paints in the control's own coordinates: (0, 0) is its top left corner.
    virtual void paint(Canvas& canvas) = 0;

  protected:
    SkinForm& m_form;

  private:
    RECT m_bounds{};
};

class SkinForm : public win32::Window {
  public:
    ~SkinForm() override;

    template <typename Control>
    Control& own(std::unique_ptr<Control> control) {
        Control& owned = *control;
        m_components.push_back(std::move(control));
        return owned;
    }

    // The windowless controls as they lie under the form's area that starts at origin, painted on a
    // canvas whose (0, 0) is that point. Windowed controls use it to look transparent.
    void paintGraphics(Canvas& canvas, POINT origin);

    COLORREF color() const { return m_color; }
    void setColor(COLORREF color) { m_color = color; }
    int modalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }
    void setClientSize(int width, int height);
    // Centred on the screen (the monitor) that holds most of the rectangle, or the nearest one.
    void centerOnScreenOf(const RECT& place);
    // Shows the form in front, without making it modal; the keyboard focus starts at the form itself,
    // so no control looks focused until Tab moves to it.
    void show();
    // Closing a secondary form hides it; its controls and state stay for the next show.
    void close();

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Frees the controls, newest first; a derived form calls it before its own members go.
    void freeComponents() noexcept;

  private:
    friend class GraphicControl;

    std::vector<std::unique_ptr<SkinComponent>> m_components;
    std::vector<GraphicControl*> m_graphics;
    COLORREF m_color = RGB(255, 0, 255);
    int m_modalResult = 0;
    HWND m_lastFocus = nullptr;
};

}  // namespace skin
