#include "panel/LcdCanvas.h"

#include <QApplication>
#include <QFrame>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <ostream>

#include <climits>
#include <memory>

// Keeps failure messages readable: an image prints as its size, not its bytes.
void PrintTo(const QImage& img, std::ostream* os) {
    *os << "QImage " << img.width() << "x" << img.height();
}

namespace kaldor {
namespace {

const QRgb kGround = qRgb(157, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

QRect Cell(int c, int r) { return QRect(3 + 11 * c, 4 + 21 * r, 11, 21); }

// Pixels of `img` inside `area` that equal `rgb`.
int Count(const QImage& img, const QRect& area, QRgb rgb) {
    int n = 0;
    const QRect a = area & img.rect();
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x) n += img.pixel(x, y) == rgb;
    return n;
}
bool Uniform(const QImage& img, const QRect& area, QRgb rgb) {
    return Count(img, area, rgb) == (area & img.rect()).width() * (area & img.rect()).height();
}
// True when the two images differ only inside `area`.
bool SameOutside(const QImage& a, const QImage& b, const QRect& area) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!area.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}
QImage Crop(const QImage& img, const QRect& r) { return img.copy(r); }

class LcdCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { lcd.InitLcd(nullptr); }
    TLcdCanvas lcd;
};

TEST(LcdCanvasInit, PlacesBevelAndImageAndGroundsTheDisplay) {
    QFrame panel;
    panel.resize(630, 189);
    QFrame bevel(&panel);
    TLcdCanvas lcd(&panel);
    EXPECT_EQ(lcd.LcdHighlighted(), 255);
    lcd.InitLcd(&bevel);
    EXPECT_EQ(bevel.geometry(), QRect(90, 4, 450, 181));
    EXPECT_EQ(lcd.geometry(), QRect(92, 6, 446, 177));
    EXPECT_EQ(lcd.Image().size(), QSize(446, 177));
    EXPECT_FALSE(lcd.isEnabled());
    EXPECT_TRUE(Uniform(lcd.Image(), lcd.Image().rect(), kGround));
    EXPECT_EQ(lcd.FillColor(), clDisplayGround);
    EXPECT_EQ(lcd.LcdFont().family(), "Courier New");
    EXPECT_EQ(lcd.LcdHighlighted(), 255);
    TLcdCanvas alone;
    alone.InitLcd(nullptr); // no bevel: only the canvas is placed
    EXPECT_EQ(alone.geometry(), QRect(92, 6, 446, 177));
}

TEST_F(LcdCanvasTest, FullRowCoversExactlyTheFortyCells) {
    const std::string line(40, 'M');
    lcd.LcdTextOut(0, 0, true, line);
    const QImage& img = lcd.Image();
    EXPECT_TRUE(Uniform(img, QRect(0, 0, 446, 4), kGround));   // above the row
    EXPECT_TRUE(Uniform(img, QRect(0, 25, 446, 152), kGround)); // below it
    EXPECT_TRUE(Uniform(img, QRect(0, 4, 3, 21), kGround));    // left margin
    EXPECT_TRUE(Uniform(img, QRect(443, 4, 3, 21), kGround));  // right margin
    for (int c = 0; c < 40; ++c) {
        SCOPED_TRACE(c);
        const QRect cell = Cell(c, 0);
        EXPECT_EQ(img.pixel(cell.topLeft()), kBlack);
        EXPECT_EQ(img.pixel(cell.topRight()), kBlack);
        EXPECT_EQ(img.pixel(cell.bottomLeft()), kBlack);
        EXPECT_GT(Count(img, cell, kBlack), 0);
        EXPECT_LT(Count(img, cell, kBlack), 11 * 21); // the letter is on it
    }
    // A normal line over it restores the ground in every cell and leaves dark letters.
    lcd.LcdTextOut(0, 0, false, std::string(40, 'M'));
    for (int c = 0; c < 40; ++c) {
        const QRect cell = Cell(c, 0);
        EXPECT_EQ(img.pixel(cell.topLeft()), kGround) << c;
        EXPECT_EQ(img.pixel(cell.bottomRight()), kGround) << c;
        EXPECT_EQ(Count(img, cell, kWhite), 0) << c;
        EXPECT_LT(Count(img, cell, kGround), 11 * 21) << c;
    }
    EXPECT_EQ(lcd.FillColor(), clDisplayGround);
    EXPECT_EQ(lcd.TextColor(), clBlack);
}

TEST_F(LcdCanvasTest, InverseTextPaintsOnlyItsCells) {
    lcd.LcdTextOut(8, 2, false, "Q");
    lcd.LcdTextOut(4, 2, false, "R");
    const QImage before = lcd.Image().copy();
    lcd.LcdTextOut(5, 2, true, "abc");
    const QImage& img = lcd.Image();
    for (int c = 5; c <= 7; ++c) {
        SCOPED_TRACE(c);
        const QRect cell = Cell(c, 2);
        EXPECT_EQ(img.pixel(cell.topLeft()), kBlack);
        EXPECT_EQ(img.pixel(cell.bottomRight()), kBlack);
        EXPECT_GT(Count(img, cell, kWhite), 0);
        EXPECT_EQ(Count(img, cell, kGround), 0);
    }
    EXPECT_TRUE(SameOutside(before, img, Cell(5, 2).united(Cell(7, 2))));
    EXPECT_EQ(Crop(img, Cell(8, 2)), Crop(before, Cell(8, 2)));
    EXPECT_EQ(lcd.FillColor(), clBlack);
    EXPECT_EQ(lcd.TextColor(), clWhite);
    lcd.ClearLcd();
    EXPECT_EQ(lcd.FillColor(), clDisplayGround);
    EXPECT_TRUE(Uniform(img, img.rect(), kGround));
}

TEST_F(LcdCanvasTest, BlanksPaintGroundAndEmptyTextPaintsNothing) {
    lcd.LcdTextOut(0, 3, true, std::string(40, 'X'));
    lcd.LcdTextOut(2, 3, false, "   ");
    for (int c = 2; c <= 4; ++c) EXPECT_TRUE(Uniform(lcd.Image(), Cell(c, 3), kGround)) << c;
    EXPECT_EQ(lcd.Image().pixel(Cell(5, 3).topLeft()), kBlack);

    const QImage before = lcd.Image().copy();
    lcd.LcdTextOut(10, 3, false, "");
    EXPECT_EQ(lcd.Image(), before);
    // The colours are still taken over, as later fills rely on them.
    lcd.LcdTextOut(0, 0, true, "");
    EXPECT_EQ(lcd.Image(), before);
    EXPECT_EQ(lcd.FillColor(), clBlack);
}

// Every glyph the screens use stays inside its own cell and shows something.
TEST_F(LcdCanvasTest, EachCharacterIsDrawnInsideItsCell) {
    std::string chars;
    for (int ch = 0x21; ch < 0x7F; ++ch) chars += static_cast<char>(ch);
    chars += '\xB0';
    for (char ch : chars) {
        SCOPED_TRACE(std::string("char ") + ch);
        lcd.ClearLcd();
        lcd.LcdTextOut(10, 3, false, std::string(1, ch));
        const QImage& img = lcd.Image();
        EXPECT_TRUE(Uniform(img, QRect(0, 0, 446, 4 + 21 * 3), kGround));
        EXPECT_TRUE(Uniform(img, QRect(0, 4 + 21 * 4, 446, 177), kGround));
        EXPECT_TRUE(Uniform(img, QRect(0, 67, 113, 21), kGround));
        EXPECT_TRUE(Uniform(img, QRect(124, 67, 322, 21), kGround));
        EXPECT_LT(Count(img, Cell(10, 3), kGround), 11 * 21);
    }
}

// The degree sign is one Windows-1252 byte and takes one cell, like the screens' "°C".
TEST_F(LcdCanvasTest, DegreeSignTakesOneCell) {
    lcd.LcdTextOut(0, 1, false, "\xB0" "C");
    const QImage& img = lcd.Image();
    EXPECT_LT(Count(img, Cell(0, 1), kGround), 11 * 21);
    EXPECT_LT(Count(img, Cell(1, 1), kGround), 11 * 21);
    EXPECT_TRUE(Uniform(img, Cell(2, 1), kGround));
    // The sign sits high in its cell: nothing in the lower half.
    EXPECT_TRUE(Uniform(img, QRect(3, 4 + 21 + 14, 11, 7), kGround));
}

TEST_F(LcdCanvasTest, OutOfGridCellsAreClippedSafely) {
    const QImage blank = lcd.Image().copy();
    lcd.LcdTextOut(0, -2, true, "abc");
    lcd.LcdTextOut(41, 0, true, "abc");
    lcd.LcdTextOut(-45, 0, true, "abc");
    EXPECT_EQ(lcd.Image(), blank);
    // Row 8 and column 40 begin inside the image's margin, and only the margin shows them.
    lcd.LcdTextOut(0, 8, true, "abc");
    lcd.LcdTextOut(40, 3, true, "abc");
    EXPECT_TRUE(SameOutside(blank, lcd.Image(), QRect(0, 172, 446, 5).united(QRect(443, 67, 3, 21))));
    EXPECT_EQ(lcd.Image().pixel(3, 176), kBlack);
    EXPECT_EQ(lcd.Image().pixel(445, 67), kBlack);
    lcd.ClearLcd();
    lcd.LcdTextOut(INT_MAX, INT_MAX, true, "abc");
    lcd.LcdTextOut(INT_MIN, INT_MIN, true, "abc");
    lcd.LcdTextOut(INT_MAX, 0, true, "abc");
    lcd.LcdTextOut(INT_MIN, 0, true, std::string(300, 'x'));
    EXPECT_EQ(lcd.Image(), blank);
    // A text that starts left of the grid shows its tail from column 0 on.
    lcd.LcdTextOut(-3, 5, true, "abc d");
    EXPECT_EQ(lcd.Image().pixel(Cell(0, 5).topLeft()), kBlack);
    EXPECT_EQ(Count(lcd.Image(), Cell(0, 5), kWhite), 0); // the blank
    EXPECT_GT(Count(lcd.Image(), Cell(1, 5), kWhite), 0); // the 'd'
    EXPECT_EQ(lcd.Image().pixel(Cell(2, 5).topLeft()), kGround);
    // The last cell of the grid is drawn; what follows only reaches the image edge.
    lcd.LcdTextOut(39, 7, true, "zzzz");
    EXPECT_EQ(lcd.Image().pixel(442, 171), kBlack);
}

class LcdMenuTest : public LcdCanvasTest {
protected:
    // Five items, two per row, each with its own help lines.
    const LcdMenuEntry menu[6] = {
        {" ZERO ", 0, 1, std::string(40, 'a'), std::string(40, 'A')},
        {" ONE  ", 10, 1, std::string(40, 'b'), std::string(40, 'B')},
        {" TWO  ", 0, 2, std::string(40, 'c'), std::string(40, 'C')},
        {" THREE ", 10, 2, std::string(40, 'd'), std::string(40, 'D')},
        {" FOUR ", 20, 3, std::string(40, 'e'), std::string(40, 'E')},
        {},
    };
    // A second display drawn with plain text operations, to compare against.
    std::unique_ptr<TLcdCanvas> Expected() {
        auto e = std::make_unique<TLcdCanvas>();
        e->InitLcd(nullptr);
        return e;
    }
    void Item(TLcdCanvas& c, int i, bool inverse) {
        c.LcdTextOut(menu[i].Col, menu[i].Row, inverse, menu[i].Text);
    }
    void Help(TLcdCanvas& c, int i) {
        c.LcdTextOut(0, 6, false, menu[i].HelpLine6);
        c.LcdTextOut(0, 7, false, menu[i].HelpLine7);
    }
    QRect ItemRect(int i) const {
        return Cell(menu[i].Col, menu[i].Row)
            .united(Cell(menu[i].Col + int(menu[i].Text.size()) - 1, menu[i].Row));
    }
};

TEST_F(LcdMenuTest, FullDrawThenSameSelectionThenMove) {
    // Junk over everything: the full draw must put each item back to normal.
    for (int r = 0; r < 8; ++r) lcd.LcdTextOut(0, r, true, std::string(40, '#'));
    lcd.LcdDrawMenu(menu, 2, true);
    EXPECT_EQ(lcd.LcdHighlighted(), 2);
    auto expected = Expected();
    for (int r = 0; r < 8; ++r) expected->LcdTextOut(0, r, true, std::string(40, '#'));
    for (int i = 0; i < 5; ++i) Item(*expected, i, false);
    Help(*expected, 2);
    Item(*expected, 2, true);
    EXPECT_EQ(lcd.Image(), expected->Image());
    EXPECT_EQ(lcd.Image().pixel(ItemRect(2).topRight()), kBlack);
    EXPECT_EQ(lcd.Image().pixel(ItemRect(2).topRight() + QPoint(1, 0)), kBlack); // '#' junk
    EXPECT_EQ(lcd.Image().pixel(ItemRect(0).topLeft()), kGround);

    // Same selection: only the item is drawn again, the help lines stay as they are.
    lcd.LcdTextOut(0, 6, true, "overwritten");
    Item(lcd, 2, false);
    Item(lcd, 0, true);
    lcd.LcdDrawMenu(menu, 2, false);
    expected->LcdTextOut(0, 6, true, "overwritten");
    Item(*expected, 0, true);
    Item(*expected, 2, true);
    EXPECT_EQ(lcd.Image(), expected->Image());
    EXPECT_EQ(lcd.LcdHighlighted(), 2);

    // Moving to item 3: its help lines, item 2 back to normal, item 3 inverse, nothing else.
    lcd.LcdDrawMenu(menu, 3, false);
    Help(*expected, 3);
    Item(*expected, 2, false);
    Item(*expected, 3, true);
    EXPECT_EQ(lcd.Image(), expected->Image());
    EXPECT_EQ(lcd.LcdHighlighted(), 3);
    EXPECT_EQ(lcd.Image().pixel(ItemRect(0).topLeft()), kBlack); // item 0 was not redrawn
}

TEST_F(LcdMenuTest, FullDrawForgetsTheHighlight) {
    lcd.LcdDrawMenu(menu, 1, true);
    lcd.LcdTextOut(0, 7, true, std::string(40, '#'));
    lcd.LcdDrawMenu(menu, 1, true);
    auto expected = Expected();
    for (int i = 0; i < 5; ++i) Item(*expected, i, false);
    Help(*expected, 1);
    Item(*expected, 1, true);
    EXPECT_EQ(lcd.Image(), expected->Image());
}

// Help lines first, then the old item, then the new one: an item on a help row shows that order.
TEST(LcdMenuOrder, HelpLinesThenOldItemThenNewItem) {
    const LcdMenuEntry rows67[] = {
        {"SIX", 2, 6, std::string(40, 'h'), std::string(40, 'H')},
        {"SEVEN", 30, 7, std::string(40, 'k'), std::string(40, 'K')},
        {},
    };
    TLcdCanvas lcd, expected;
    lcd.InitLcd(nullptr);
    expected.InitLcd(nullptr);
    lcd.LcdDrawMenu(rows67, 1, true);
    lcd.LcdDrawMenu(rows67, 0, false);
    expected.LcdTextOut(2, 6, false, "SIX");
    expected.LcdTextOut(30, 7, false, "SEVEN");
    expected.LcdTextOut(0, 6, false, std::string(40, 'k'));
    expected.LcdTextOut(0, 7, false, std::string(40, 'K'));
    expected.LcdTextOut(30, 7, true, "SEVEN");
    expected.LcdTextOut(0, 6, false, std::string(40, 'h'));
    expected.LcdTextOut(0, 7, false, std::string(40, 'H'));
    expected.LcdTextOut(30, 7, false, "SEVEN");
    expected.LcdTextOut(2, 6, true, "SIX");
    EXPECT_EQ(lcd.Image(), expected.Image());
    EXPECT_EQ(lcd.Image().pixel(Cell(30, 7).topLeft()), kGround);
    EXPECT_EQ(lcd.Image().pixel(Cell(2, 6).topLeft()), kBlack);
}

TEST_F(LcdMenuTest, EmptyTablesAndStraySelections) {
    const LcdMenuEntry empty[] = {{}, {" X ", 5, 1, std::string(40, 'x'), std::string(40, 'x')}};
    const QImage blank = lcd.Image().copy();
    lcd.LcdDrawMenu(empty, 0, true);
    EXPECT_EQ(lcd.Image(), blank);
    lcd.LcdDrawMenu(nullptr, 3, true);
    lcd.LcdDrawMenu(nullptr, 4, false);
    EXPECT_EQ(lcd.Image(), blank);

    // A selection at the item count removes the old highlight and highlights nothing.
    lcd.LcdDrawMenu(menu, 4, true);
    lcd.LcdDrawMenu(menu, 5, false);
    EXPECT_EQ(lcd.LcdHighlighted(), 5);
    auto expected = Expected();
    for (int i = 0; i < 5; ++i) Item(*expected, i, false);
    Help(*expected, 4);
    EXPECT_EQ(lcd.Image(), expected->Image());
    lcd.LcdDrawMenu(menu, 200, false);
    lcd.LcdDrawMenu(menu, 255, false);
    EXPECT_EQ(lcd.Image(), expected->Image());
    EXPECT_EQ(lcd.LcdHighlighted(), 255);
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Each operation shows at once, without waiting for the event loop.
TEST(LcdCanvasRepaint, EveryOperationPaintsImmediatelyWhenShown) {
    QWidget panel;
    panel.resize(630, 189);
    TLcdCanvas lcd(&panel);
    lcd.InitLcd(nullptr);
    PaintCounter counter;
    lcd.installEventFilter(&counter);
    lcd.LcdTextOut(0, 0, false, "hidden");
    EXPECT_EQ(counter.paints, 0);

    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QApplication::processEvents();
    counter.paints = 0;
    lcd.LcdTextOut(0, 0, false, "shown");
    EXPECT_EQ(counter.paints, 1);
    lcd.ClearLcd();
    EXPECT_EQ(counter.paints, 2);
    const LcdMenuEntry two[] = {{"A", 0, 1, std::string(40, '-'), std::string(40, '=')},
                                {"B", 5, 1, std::string(40, '-'), std::string(40, '=')},
                                {}};
    lcd.LcdDrawMenu(two, 1, true); // two items, two help lines, one highlight
    EXPECT_EQ(counter.paints, 7);
    // What the widget shows is the image.
    const QImage shown = lcd.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, lcd.Image());
}

} // namespace
} // namespace kaldor
