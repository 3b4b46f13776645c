#include "KeyButton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

#include "widgets/Color.h"

namespace kaldor {
namespace {
constexpr int kGlyph = 16;
constexpr int kGap = 4;
} // namespace

TKeyButton::TKeyButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setIconSize(QSize(kGlyph, kGlyph));
}

void TKeyButton::SetGlyphRight(bool right) {
    if (glyphRight_ == right) return;
    glyphRight_ = right;
    update();
}

void TKeyButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    const QIcon glyph = opt.icon;
    opt.text.clear();
    opt.icon = QIcon();
    p.drawComplexControl(QStyle::CC_ToolButton, opt);

    const int textWidth = fontMetrics().horizontalAdvance(caption);
    const bool hasGlyph = !glyph.isNull();
    const int total = textWidth + (hasGlyph ? kGlyph + kGap : 0);
    int x = (width() - total) / 2;
    const int shift = isDown() ? 1 : 0; // a pressed key's face moves down and right
    QRect textRect(x + shift, shift, textWidth, height());
    if (hasGlyph) {
        const QRect glyphRect(glyphRight_ ? x + textWidth + kGap : x, (height() - kGlyph) / 2,
                              kGlyph, kGlyph);
        if (!glyphRight_) textRect.translate(kGlyph + kGap, 0);
        p.drawPixmap(glyphRect.translated(shift, shift),
                     glyph.pixmap(kGlyph, kGlyph, isEnabled() ? QIcon::Normal : QIcon::Disabled));
    }
    // The caption's own colour holds in every colour group: a disabled key is drawn grey, as
    // the system draws a disabled button's text.
    p.setPen(isEnabled() ? palette().color(QPalette::Active, QPalette::ButtonText) : clGrayText.ToQColor());
    p.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
}

} // namespace kaldor
