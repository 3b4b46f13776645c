#include "panel/LcdCanvas.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include "widgets/Win1252.h"

namespace kaldor {
TLcdCanvas::TLcdCanvas(QWidget* parent)
    : QWidget(parent),
      m_image(ImageGeometry.size(), QImage::Format_RGB32) {
    // A fresh drawing surface is white until InitLcd grounds it.
    m_image.fill(Qt::white);
}

void TLcdCanvas::InitLcd(QWidget* bevel) {
    if (bevel) bevel->setGeometry(BevelGeometry);
    setGeometry(ImageGeometry);
    setEnabled(false);
    m_image.fill(LcdBackColor.ToQColor());
    m_font = QFont(QStringLiteral("Courier New"));
    m_font.setPixelSize(FontPixelSize);
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    ClearLcd();
}

void TLcdCanvas::ClearLcd() {
    m_fill = LcdBackColor;
    QPainter p(&m_image);
    p.fillRect(QRect(0, 0, m_image.width(), m_image.height()), m_fill.ToQColor());
    p.end();
    RepaintNow();
}

void TLcdCanvas::LcdTextOut(int column, int row, bool inverse, const std::string& text) {
    m_fill = inverse ? clBlack : LcdBackColor;
    m_text = inverse ? clWhite : clBlack;

    // 64-bit cell arithmetic: callers do not check columns or rows, and a wild one must only miss.
    const long long top = GridTop + static_cast<long long>(CellHeight) * row;
    if (!text.empty() && top < m_image.height() && top + CellHeight > 0) {
        QPainter p(&m_image);
        p.setFont(m_font);
        p.setPen(m_text.ToQColor());
        const QColor fill = m_fill.ToQColor();
        const QFontMetricsF fm(m_font, &m_image);
        const qreal baseline = top + (CellHeight - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const long long left =
                GridLeft + static_cast<long long>(CellWidth) * (column + static_cast<long long>(i));
            if (left >= m_image.width()) break;
            if (left + CellWidth <= 0) continue;
            // Each character owns its cell, so the grid never depends on the font's advance and
            // no glyph spills into a neighbour.
            const QRect cell(static_cast<int>(left), static_cast<int>(top), CellWidth, CellHeight);
            p.setClipRect(cell);
            p.fillRect(cell, fill);
            const QChar ch = FromWin1252(static_cast<unsigned char>(text[i]));
            if (ch == QLatin1Char(' ')) continue;
            const QString glyph(ch);
            const qreal x = left + (CellWidth - fm.horizontalAdvance(glyph)) / 2;
            p.drawText(QPointF(x, baseline), glyph);
        }
    }
    RepaintNow();
}

void TLcdCanvas::LcdDrawMenu(const LcdMenuEntry* menu, uint8_t selected, bool redrawAll) {
    const std::size_t count = MenuItemCount(menu);
    if (redrawAll) {
        for (std::size_t i = 0; i < count; ++i)
            LcdTextOut(menu[i].Col, menu[i].Row, false, menu[i].Text);
        m_highlighted = 255;
    }
    // A selection past the table gives the terminator, whose empty texts draw nothing.
    const LcdMenuEntry& item = MenuEntry(menu, selected);
    if (m_highlighted == selected) {
        LcdTextOut(item.Col, item.Row, true, item.Text);
        return;
    }
    LcdTextOut(0, 6, false, item.HelpLine6);
    LcdTextOut(0, 7, false, item.HelpLine7);
    if (m_highlighted < count) {
        const LcdMenuEntry& old = menu[m_highlighted];
        LcdTextOut(old.Col, old.Row, false, old.Text);
    }
    LcdTextOut(item.Col, item.Row, true, item.Text);
    m_highlighted = selected;
}

void TLcdCanvas::RepaintNow() {
    // The display must show each step at once, not at the next paint cycle.
    if (isVisible()) repaint();
}

void TLcdCanvas::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect().topLeft(), m_image, event->rect());
}

} // namespace kaldor
