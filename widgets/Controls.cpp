#include "widgets/Controls.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QtMath>

#include <algorithm>

namespace kaldor {
namespace {

// Sets one colour role in every colour group, so the colour holds while the window is
// inactive too. Returns false when the role already has that colour everywhere.
bool applyRole(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette p = w->palette();
    if (p.isBrushSet(QPalette::Active, role) && p.color(QPalette::Active, role) == c &&
        p.color(QPalette::Inactive, role) == c && p.color(QPalette::Disabled, role) == c)
        return false;
    p.setColor(role, c);
    w->setPalette(p);
    return true;
}

void fillLine(QPainter& p, const QRect& r, TColor c) {
    p.fillRect(r, c.ToQColor());
}

// One bevel ring on the edge of r.
void drawRing(QPainter& p, const QRect& r, TBevel bevel) {
    if (bevel == TBevel::None || r.width() < 2 || r.height() < 2) return;
    const TColor topLeft = bevel == TBevel::Lowered ? clBtnShadow : clBtnHighlight;
    const TColor bottomRight = bevel == TBevel::Lowered ? clBtnHighlight : clBtnShadow;
    fillLine(p, QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    fillLine(p, QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    fillLine(p, QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    fillLine(p, QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

} // namespace

void InstallFontSubstitutes() {
    const QStringList sans = {"Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial",
                              "Nimbus Sans", "Helvetica"};
    const QStringList mono = {"Liberation Mono", "Cousine", "Courier New", "Nimbus Mono PS",
                              "Courier"};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("System"), sans);
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans.mid(1));
    QFont::insertSubstitutions(QStringLiteral("Courier New"), mono);
    QFont::insertSubstitutions(QStringLiteral("Courier"), mono);
}

bool SetVisible(QWidget* w, bool visible) {
    if (w->isHidden() != visible) return false;
    w->setVisible(visible);
    return true;
}

bool SetEnabled(QWidget* w, bool enabled) {
    // WA_ForceDisabled is the widget's own disabled flag, apart from a disabled parent.
    if (w->testAttribute(Qt::WA_ForceDisabled) != enabled) return false;
    w->setEnabled(enabled);
    return true;
}

bool SetBounds(QWidget* w, const QRect& bounds) {
    if (w->geometry() == bounds) return false;
    w->setGeometry(bounds);
    return true;
}

bool SetBounds(QWidget* w, int left, int top, int width, int height) {
    return SetBounds(w, QRect(left, top, width, height));
}

bool SetPos(QWidget* w, int left, int top) {
    if (w->pos() == QPoint(left, top)) return false;
    w->move(left, top);
    return true;
}

bool SetFont(QWidget* w, const QString& family, int pixelSize, bool bold, bool underline) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setUnderline(underline);
    // The metric-compatible fixed fonts advance by fractions of a pixel (11.4 px at 19 px);
    // the home platform's hinting rounds every advance to whole pixels, which the text boxes
    // were sized for.
    if (QFontInfo(f).fixedPitch()) f.setHintingPreference(QFont::PreferFullHinting);
    if (w->font() == f) return false;
    w->setFont(f);
    return true;
}

bool SetText(QLabel* w, const QString& text) {
    if (auto* st = qobject_cast<TStaticText*>(w)) return st->SetCaption(text);
    if (w->text() == text) return false;
    w->setText(text);
    return true;
}

bool SetFontColor(QWidget* w, TColor c) {
    if (auto* st = qobject_cast<TStaticText*>(w)) return st->SetFontColor(c);
    return applyRole(w, w->foregroundRole(), c.ToQColor());
}

bool SetColor(QWidget* w, TColor c) {
    if (auto* st = qobject_cast<TStaticText*>(w)) return st->SetColor(c);
    if (auto* pnl = qobject_cast<TPanel*>(w)) return pnl->SetColor(c);
    bool changed = false;
    if (!w->autoFillBackground()) {
        w->setAutoFillBackground(true);
        changed = true;
    }
    return applyRole(w, w->backgroundRole(), c.ToQColor()) || changed;
}

// ---------------------------------------------------------------------------------------

TStaticText::TStaticText(QWidget* parent, const QString& name, const QRect& bounds)
    : QLabel(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    setIndent(0);
    setMargin(0);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
    applyRole(this, foregroundRole(), fontColor_.ToQColor());
    applyRole(this, backgroundRole(), color_.ToQColor());
    if (!bounds.isNull()) setGeometry(bounds);
}

bool TStaticText::SetCaption(const QString& text) {
    bytesValid_ = false;
    if (this->text() == text) return false;
    setText(text);
    return true;
}

bool TStaticText::SetCaption(const std::string& win1252) {
    if (bytesValid_ && bytes_ == win1252) return false;
    const bool changed = SetCaption(FromWin1252(win1252));
    bytes_ = win1252;
    bytesValid_ = true;
    return changed;
}

bool TStaticText::SetCaption(const char* win1252) {
    if (!win1252) win1252 = "";
    if (bytesValid_ && bytes_ == win1252) return false;
    return SetCaption(std::string(win1252));
}

bool TStaticText::SetFontColor(TColor c) {
    if (fontColor_ == c) return false;
    fontColor_ = c;
    applyRole(this, foregroundRole(), c.ToQColor());
    return true;
}

bool TStaticText::SetColor(TColor c) {
    if (color_ == c) return false;
    color_ = c;
    applyRole(this, backgroundRole(), c.ToQColor());
    return true;
}

bool TStaticText::SetAlignment(Qt::Alignment horizontal) {
    const Qt::Alignment a = (horizontal & Qt::AlignHorizontal_Mask) | Qt::AlignTop;
    if (alignment() == a) return false;
    setAlignment(a);
    return true;
}

bool TStaticText::SetBorder(TBorder border) {
    if (border_ == border) return false;
    border_ = border;
    const int m = border == TBorder::None ? 0 : 1;
    setContentsMargins(m, m, m, m);
    update();
    return true;
}

qreal TextWidth(const QFont& font, const QString& text, const QPaintDevice* device) {
    const QFontMetricsF m(font, device);
    const QRectF ink = m.boundingRect(text);
    const qreal advance = m.horizontalAdvance(text);
    return advance + std::max<qreal>(0, ink.right() - advance) + std::max<qreal>(0, -ink.left());
}

QFont TStaticText::FittedFont() const {
    const QString& caption = text();
    const int width = contentsRect().width();
    const qreal ratio = devicePixelRatioF();
    if (fit_.width == width && fit_.ratio == ratio && fit_.text == caption && fit_.wanted == font())
        return fit_.font;
    fit_ = {caption, font(), width, ratio, font()};
    QFont& f = fit_.font;
    int px = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    // Bounded by the size: one step a pixel, never below the smallest readable size.
    constexpr int kSmallest = 6;
    while (px > kSmallest && TextWidth(f, caption, this) > width) f.setPixelSize(--px);
    return f;
}

int TStaticText::InkShift() const {
    const QFontMetricsF m(FittedFont(), this);
    const QRectF cr = contentsRect();
    const qreal advance = m.horizontalAdvance(text());
    const Qt::Alignment align =
        QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
    const qreal x = align & Qt::AlignLeft    ? cr.left()
                    : align & Qt::AlignRight ? cr.left() + cr.width() - advance
                                             : cr.left() + (cr.width() - advance) / 2;
    const QRectF ink = m.boundingRect(text()).translated(x, 0);
    int shift = 0;
    if (ink.right() > cr.left() + cr.width()) shift = qFloor(cr.left() + cr.width() - ink.right());
    // The start of a caption wider than its box stays in sight.
    if (ink.left() + shift < cr.left()) shift = qCeil(cr.left() - ink.left());
    return shift;
}

// Drawn as QLabel draws a plain, unwrapped text, with the fitted font, moved by the overhang a
// glyph's ink has past its advance (right alignment places the advance, not the ink).
void TStaticText::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    drawFrame(&p);
    p.setFont(FittedFont());
    style()->drawItemText(&p, contentsRect().translated(InkShift(), 0),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), text(), foregroundRole());
    if (border_ == TBorder::None) return;
    if (border_ == TBorder::Single) {
        const QRect r = rect();
        fillLine(p, QRect(r.left(), r.top(), r.width(), 1), clBlack);
        fillLine(p, QRect(r.left(), r.bottom(), r.width(), 1), clBlack);
        fillLine(p, QRect(r.left(), r.top(), 1, r.height()), clBlack);
        fillLine(p, QRect(r.right(), r.top(), 1, r.height()), clBlack);
    } else {
        drawRing(p, rect(), TBevel::Lowered);
    }
}

// ---------------------------------------------------------------------------------------

TPanel::TPanel(QWidget* parent, const QString& name, const QRect& bounds) : QFrame(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    applyRole(this, backgroundRole(), color_.ToQColor());
    if (!bounds.isNull()) setGeometry(bounds);
}

bool TPanel::SetColor(TColor c) {
    if (color_ == c) return false;
    color_ = c;
    applyRole(this, backgroundRole(), c.ToQColor());
    return true;
}

bool TPanel::SetBevel(TBevel inner, TBevel outer) {
    if (inner_ == inner && outer_ == outer) return false;
    inner_ = inner;
    outer_ = outer;
    update();
    return true;
}

void TPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (inner_ == TBevel::None && outer_ == TBevel::None) return;
    QPainter p(this);
    QRect r = rect();
    if (outer_ != TBevel::None) {
        drawRing(p, r, outer_);
        r.adjust(1, 1, -1, -1);
    }
    drawRing(p, r, inner_);
}

} // namespace kaldor
