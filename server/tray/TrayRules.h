#pragma once
// The rules of the notification-area icon that need no window: which mouse messages a click kind
// stands for, the balloon icon's flag, the record size the shell's version allows, and texts cut to
// their record fields.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvane {

// The mouse messages the shell passes in the callback's lParam (the values of the Windows headers).
namespace tray_mouse {
inline constexpr std::uint32_t kMove = 0x0200;
inline constexpr std::uint32_t kLeftDown = 0x0201;
inline constexpr std::uint32_t kLeftUp = 0x0202;
inline constexpr std::uint32_t kLeftDoubleClick = 0x0203;
inline constexpr std::uint32_t kRightDown = 0x0204;
inline constexpr std::uint32_t kRightUp = 0x0205;
inline constexpr std::uint32_t kRightDoubleClick = 0x0206;
inline constexpr std::uint32_t kMiddleDown = 0x0207;
inline constexpr std::uint32_t kMiddleUp = 0x0208;
}  // namespace tray_mouse

// The balloon notifications of the callback's lParam: shown, hidden, timed out, clicked.
inline constexpr std::uint32_t kBalloonShow = 0x402;
inline constexpr std::uint32_t kBalloonUserClick = 0x405;

// The click that triggers a component action. Values above ckNone match nothing, like ckNone.
enum class TTrayClickKind : std::uint32_t {
    ckLeftDown,
    ckDoubleClick,
    ckAnyDown,
    ckAnyUp,
    ckLeftUp,
    ckLeftDoubleClick,
    ckRightUp,
    ckRightDoubleClick,
    ckNone,
};

bool clickMatches(TTrayClickKind kind, std::uint32_t mouseMessage);

// The component's own numbering of balloon icons; any other value shows none.
enum class TBalloonIconKind : std::uint32_t { biNone, biError, biInfo, biWarning, biUser };

// The record's dwInfoFlags for a balloon icon (NIIF_NONE, NIIF_ERROR, NIIF_INFO, NIIF_WARNING, NIIF_USER).
std::uint32_t balloonInfoFlags(TBalloonIconKind kind);

// A DLL version as DllGetVersion reports it, packed major × 2^48 + minor × 2^32; 0 when unknown.
constexpr std::uint64_t packedShellVersion(std::uint32_t major, std::uint32_t minor) {
    return (std::uint64_t{major} << 48) + (std::uint64_t{minor} << 32);
}

// The sizes of the shell's notify record: its whole buffer, and what each shell generation reads
// (up to hBalloonIcon, up to guidItem, up to dwInfoFlags, the first 64 tip characters).
struct NotifyRecordSizes {
    std::uint32_t buffer;
    std::uint32_t version6;
    std::uint32_t version5;
    std::uint32_t version4;
};
// The 32-bit layout (the 64-bit build takes its platform's own figures).
inline constexpr NotifyRecordSizes kNotifyRecordSizes32 = {956, 952, 936, 152};

// cbSize for the shell of this version: 6.0 and later, 5.x, anything older or unknown.
std::uint32_t notifyRecordSize(std::uint64_t shellVersion, const NotifyRecordSizes& sizes);

// The record's text fields in UTF-16 units, terminator included.
inline constexpr std::size_t kTipUnits = 128;
inline constexpr std::size_t kBalloonTitleUnits = 64;
inline constexpr std::size_t kBalloonTextUnits = 256;

// Copies text into a field of fieldUnits units (at least 1), cut to fieldUnits - 1 units and always
// terminated; a cut never leaves half of a surrogate pair behind. The units copied.
std::size_t copyIntoField(std::u16string_view text, char16_t* field, std::size_t fieldUnits);

// The text as it fits a field of fieldUnits units (the same cut as copyIntoField).
std::u16string_view cutToField(std::u16string_view text, std::size_t fieldUnits);

}  // namespace kelvane
