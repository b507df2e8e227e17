#pragma once
// A windowless image control: its picture stretched over it, or, with AlphaChannel on and a 32-bit
// picture, blended 1:1 over what the form paints beneath it.

#include <cstdint>

#include "skin/controls/SkinForm.h"
#include "skin/paint/Bitmap.h"

namespace skin {

class GsImage final : public GraphicControl {
  public:
    explicit GsImage(SkinForm& form);

    // The picture's bitmap; any change of it (a load included) resizes an auto-sized image to it.
    Bitmap& Picture() { return m_picture; }
    void setPicture(const Bitmap& picture) { m_picture.Assign(picture); }
    bool AlphaChannel() const { return m_alphaChannel; }
    void setAlphaChannel(bool on);
    bool AlphaBlend() const { return m_alphaBlend; }
    void setAlphaBlend(bool on);
    std::uint8_t AlphaValue() const { return m_alphaValue; }
    void setAlphaValue(std::uint8_t value);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on) { m_autoSize = on; }

    void paint(Canvas& canvas) override;

  private:
    void pictureChanged();

    Bitmap m_picture;
    bool m_alphaChannel = false;
    bool m_alphaBlend = false;
    std::uint8_t m_alphaValue = 255;
    bool m_autoSize = false;
};

}  // namespace skin
