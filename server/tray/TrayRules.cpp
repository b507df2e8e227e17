#include "server/tray/TrayRules.h"

#include <algorithm>

namespace kelvane {

bool clickMatches(TTrayClickKind kind, std::uint32_t mouseMessage) {
    using namespace tray_mouse;
    switch (kind) {
        case TTrayClickKind::ckLeftDown:
            return mouseMessage == kLeftDown;
        case TTrayClickKind::ckDoubleClick:
            return mouseMessage == kLeftDoubleClick || mouseMessage == kRightDoubleClick;
        case TTrayClickKind::ckAnyDown:
            return mouseMessage == kLeftDown || mouseMessage == kRightDown || mouseMessage == kMiddleDown;
        case TTrayClickKind::ckAnyUp:
            return mouseMessage == kLeftUp || mouseMessage == kRightUp || mouseMessage == kMiddleUp;
        case TTrayClickKind::ckLeftUp:
            return mouseMessage == kLeftUp;
        case TTrayClickKind::ckLeftDoubleClick:
            return mouseMessage == kLeftDoubleClick;
        case TTrayClickKind::ckRightUp:
            return mouseMessage == kRightUp;
        case TTrayClickKind::ckRightDoubleClick:
            return mouseMessage == kRightDoubleClick;
        default:
            return false;
    }
}

std::uint32_t balloonInfoFlags(TBalloonIconKind kind) {
    switch (kind) {
        case TBalloonIconKind::biError:
            return 3;
        case TBalloonIconKind::biInfo:
            return 1;
        case TBalloonIconKind::biWarning:
            return 2;
        case TBalloonIconKind::biUser:
            return 4;
        default:
            return 0;
    }
}

std::uint32_t notifyRecordSize(std::uint64_t shellVersion, const NotifyRecordSizes& sizes) {
    if (shellVersion >= packedShellVersion(6, 0)) return sizes.version6;
    if (shellVersion >= packedShellVersion(5, 0)) return sizes.version5;
    return sizes.version4;
}

std::u16string_view cutToField(std::u16string_view text, std::size_t fieldUnits) {
    if (text.size() < fieldUnits) return text;
    if (fieldUnits == 0) return {};
    std::size_t n = fieldUnits - 1;
    const auto highSurrogate = [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    if (n > 0 && highSurrogate(text[n - 1])) --n;  // its low half would have been cut off
    return text.substr(0, n);
}

std::size_t copyIntoField(std::u16string_view text, char16_t* field, std::size_t fieldUnits) {
    const std::u16string_view kept = cutToField(text, fieldUnits);
    std::copy(kept.begin(), kept.end(), field);
    field[kept.size()] = u'\0';
    return kept.size();
}

}  // namespace kelvane
