#pragma once
#include <cstdint>
#include <iosfwd>

class QColor;

namespace kaldor {

// A colour as the console's layouts give it: 0x00BBGGRR, or a system colour when the top
// bit is set (the low byte then names the system colour). Kept as the raw value so that a
// system colour stays a system colour and follows the platform palette when converted.
class TColor {
public:
    constexpr TColor() = default;
    constexpr explicit TColor(std::uint32_t value) : value_(value) {}
    static constexpr TColor FromRgb(int r, int g, int b) {
        return TColor(std::uint32_t(r & 0xFF) | std::uint32_t(g & 0xFF) << 8 |
                      std::uint32_t(b & 0xFF) << 16);
    }

    constexpr std::uint32_t Value() const { return value_; }
    constexpr bool IsSystem() const { return (value_ & SystemBit) != 0; }

    // The one conversion to Qt. System colours resolve through the application palette.
    QColor ToQColor() const;

    friend constexpr bool operator==(TColor a, TColor b) { return a.value_ == b.value_; }
    friend constexpr bool operator!=(TColor a, TColor b) { return a.value_ != b.value_; }

    static constexpr std::uint32_t SystemBit = 0x80000000u;

private:
    std::uint32_t value_ = 0;
};

std::ostream& operator<<(std::ostream& os, TColor c);

constexpr TColor clBlack{0x000000};
constexpr TColor clMaroon{0x000080};
constexpr TColor clGreen{0x008000};
constexpr TColor clNavy{0x800000};
constexpr TColor clTeal{0x808000};
constexpr TColor clGray{0x808080};
constexpr TColor clRed{0x0000FF};
constexpr TColor clLime{0x00FF00};
constexpr TColor clYellow{0x00FFFF};
constexpr TColor clAqua{0xFFFF00};
constexpr TColor clWhite{0xFFFFFF};
// Ground of the character display.
constexpr TColor clDisplayGround{0xFFFF9D};

// System colours; the low byte is the platform's index of that colour.
constexpr TColor clWindow{0x80000005};
constexpr TColor clWindowText{0x80000008};
constexpr TColor clHighlight{0x8000000D};
constexpr TColor clHighlightText{0x8000000E};
constexpr TColor clBtnFace{0x8000000F};
constexpr TColor clBtnShadow{0x80000010};
constexpr TColor clGrayText{0x80000011};
constexpr TColor clBtnText{0x80000012};
constexpr TColor clBtnHighlight{0x80000014};
constexpr TColor clInfoText{0x80000017};
constexpr TColor clInfoBk{0x80000018};

} // namespace kaldor
