#include "widgets/Color.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <iomanip>
#include <ostream>

namespace kaldor {
namespace {

struct SystemRole {
    std::uint8_t index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr SystemRole systemRoles[] = {
    {0x05, QPalette::Active, QPalette::Base},
    {0x08, QPalette::Active, QPalette::WindowText},
    {0x0D, QPalette::Active, QPalette::Highlight},
    {0x0E, QPalette::Active, QPalette::HighlightedText},
    {0x0F, QPalette::Active, QPalette::Button},
    {0x10, QPalette::Active, QPalette::Dark},
    {0x11, QPalette::Disabled, QPalette::Text},
    {0x12, QPalette::Active, QPalette::ButtonText},
    {0x14, QPalette::Active, QPalette::Light},
    {0x17, QPalette::Active, QPalette::ToolTipText},
    {0x18, QPalette::Active, QPalette::ToolTipBase},
};

} // namespace

QColor TColor::ToQColor() const {
    if (!IsSystem())
        return QColor(int(value_ & 0xFF), int(value_ >> 8 & 0xFF), int(value_ >> 16 & 0xFF));
    const QPalette palette = QGuiApplication::palette();
    const std::uint32_t index = value_ & 0xFF;
    for (const SystemRole& r : systemRoles)
        if (r.index == index) return palette.color(r.group, r.role);
    // A system colour the console never uses: the window face is the least surprising.
    return palette.color(QPalette::Active, QPalette::Button);
}

std::ostream& operator<<(std::ostream& os, TColor c) {
    const auto flags = os.flags();
    const char fill = os.fill('0');
    os << "0x" << std::hex << std::uppercase << std::setw(8) << c.Value();
    os.fill(fill);
    os.flags(flags);
    return os;
}

} // namespace kaldor
