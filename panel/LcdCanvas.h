#pragma once
// The amplifier's 40 x 8 character display, drawn cell by cell into an image that the widget shows.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <string>

#include "panel/SetupTables.h"
#include "widgets/Color.h"

namespace kaldor {

// The main window makes its imgLCD one of these, a child of pnl_LCD, and forwards its display
// operations to it. Positions below are in pnl_LCD's coordinates.
class TLcdCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int Columns = 40;
    static constexpr int Rows = 8;
    static constexpr int CellWidth = 11;
    static constexpr int CellHeight = 21;
    // Top-left pixel of cell (0, 0) in the image.
    static constexpr int GridLeft = 3;
    static constexpr int GridTop = 4;
    static constexpr QRect BevelGeometry{90, 4, 450, 181};
    static constexpr QRect ImageGeometry{92, 6, 446, 177};
    static constexpr TColor LcdBackColor = clDisplayGround;
    // The face is requested by name; the size gives glyphs that fill but fit an 11 x 21 cell.
    static constexpr int FontPixelSize = 18;

    explicit TLcdCanvas(QWidget* parent = nullptr);

    // Places `bevel` (the frame around the display, may be null) and this canvas in their parent,
    // disables the canvas for input, prepares the font and clears the display.
    void InitLcd(QWidget* bevel);
    void ClearLcd();
    // Draws `text` (Windows-1252) with its first character in cell (column, row). Only the cells
    // the text covers change; cells outside the image are clipped away.
    void LcdTextOut(int column, int row, bool inverse, const std::string& text);
    // Draws a menu table with item `selected` highlighted and its help lines on rows 6 and 7; with
    // redrawAll clear it redraws only what the selection change needs.
    void LcdDrawMenu(const LcdMenuEntry* menu, uint8_t selected, bool redrawAll);

    // Index of the item last drawn highlighted, 255 for none. One state for all menus.
    uint8_t LcdHighlighted() const { return m_highlighted; }
    // The colours the last operation left set, as later screens reuse the fill colour.
    TColor FillColor() const { return m_fill; }
    TColor TextColor() const { return m_text; }
    const QFont& LcdFont() const { return m_font; }
    const QImage& Image() const { return m_image; }

    QSize sizeHint() const override { return m_image.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RepaintNow();

    QImage m_image;
    QFont m_font;
    TColor m_fill = clWhite;
    TColor m_text = clBlack;
    uint8_t m_highlighted = 255;
};

} // namespace kaldor
