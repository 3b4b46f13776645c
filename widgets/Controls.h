#pragma once
// Controls whose setters compare first: a setter given the value the control already has
// changes nothing and schedules no repaint. The renderers call them on every status with
// mostly unchanged values, so a steady amplifier costs no drawing; callers never compare.
#include "widgets/Color.h"
#include "widgets/Win1252.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QRect>
#include <QString>

#include <string>

namespace kaldor {

// The layouts name Windows faces ("MS Sans Serif", "System", "Courier New", "Courier",
// "Arial"). Where those are missing, fontconfig's usual pick is much wider and clips texts
// sized for them; this registers faces of similar width to try first. Call once after the
// application object exists; on Windows the named faces are found and this changes nothing.
void InstallFontSubstitutes();

enum class TBorder { None, Single, Sunken }; // a static text's one-pixel border
enum class TBevel { None, Lowered, Raised }; // one ring of a panel's edge

// Compare-first setters for any widget. Each returns true when it changed something.
// Visibility is the widget's own flag (shown or hidden), not whether its parents show.
bool SetVisible(QWidget* w, bool visible);
bool SetEnabled(QWidget* w, bool enabled);
bool SetBounds(QWidget* w, const QRect& bounds);
bool SetBounds(QWidget* w, int left, int top, int width, int height);
bool SetPos(QWidget* w, int left, int top);
// Font by face name at a pixel height; fontconfig substitutes a missing face.
bool SetFont(QWidget* w, const QString& family, int pixelSize, bool bold = false,
             bool underline = false);
// Text and colours: on a TStaticText or TPanel these forward to its own setters; on other
// widgets they compare against the widget's palette (foreground and background roles).
bool SetText(QLabel* w, const QString& text);
bool SetFontColor(QWidget* w, TColor c);
bool SetColor(QWidget* w, TColor c); // also makes the widget fill its background

// The width a text takes in a font: its advance, and its ink where that reaches past either end.
qreal TextWidth(const QFont& font, const QString& text, const QPaintDevice* device);

// A static text: a label with no auto-size and no wrapping, plain text (blanks kept),
// its own background, text colour and an optional one-pixel border. The caption is held
// as QString; the console's byte strings (Windows-1252, 0xB0 the degree sign) are
// converted on the way in by the std::string and const char* overloads.
// The boxes were sized for one system's font advances; where a caption is wider than its
// box (another face, another scaling), it is drawn smaller by whole pixels until it fits.
// font() stays the font asked for; the box and the layout never move.
class TStaticText : public QLabel {
    Q_OBJECT
public:
    explicit TStaticText(QWidget* parent = nullptr, const QString& name = {},
                         const QRect& bounds = {});

    bool SetCaption(const QString& text);
    bool SetCaption(const std::string& win1252);
    bool SetCaption(const char* win1252);
    QString Caption() const { return text(); }

    bool SetFontColor(TColor c);
    TColor FontColor() const { return fontColor_; }
    bool SetColor(TColor c); // background
    TColor Color() const { return color_; }

    // Horizontal placement; the text sits at the top, as in the layouts.
    bool SetAlignment(Qt::Alignment horizontal);
    bool SetBorder(TBorder border);
    TBorder Border() const { return border_; }

    // The font the caption is drawn with: font(), or the largest whole pixel size below it
    // at which the caption fits the box's width.
    QFont FittedFont() const;
    // How far, in whole pixels, the caption is drawn from where its alignment puts it by its
    // advance, so that its ink (a glyph's overhang included) stays inside the content.
    int InkShift() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // What the fitted font was last worked out for; any change works it out again.
    struct Fit {
        QString text;
        QFont wanted;
        int width = -1;
        qreal ratio = 0;
        QFont font;
    };
    mutable Fit fit_;
    TColor fontColor_ = clWindowText;
    TColor color_ = clBtnFace;
    TBorder border_ = TBorder::None;
    // The bytes of the last Windows-1252 caption, while it stands: the panel sets the same
    // texts on every status, and comparing bytes spares converting them each time.
    std::string bytes_;
    bool bytesValid_ = false;
};

// A panel: a filled rectangle with up to two bevel rings (outer at the edge, inner inside it).
class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr, const QString& name = {},
                    const QRect& bounds = {});

    bool SetColor(TColor c);
    TColor Color() const { return color_; }
    bool SetBevel(TBevel inner, TBevel outer = TBevel::None);
    TBevel BevelInner() const { return inner_; }
    TBevel BevelOuter() const { return outer_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TColor color_ = clBtnFace;
    TBevel inner_ = TBevel::None;
    TBevel outer_ = TBevel::None;
};

} // namespace kaldor
