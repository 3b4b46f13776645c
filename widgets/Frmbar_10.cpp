#include "widgets/Frmbar_10.h"

#include <QPaintEvent>
#include <QPainter>

namespace kaldor {

TTickPanel::TTickPanel(QWidget* parent)
    : TPanel(parent, QStringLiteral("Panel0"), QRect(0, 3, 40, 21)) {
    colors_.fill(clLime);
    shown_.fill(clLime);
}

QRect TTickPanel::TickRect(int i) {
    const bool tall = i == 4 || i == 9;
    return QRect(1 + 4 * i, tall ? 1 : 5, 2, tall ? 16 : 12);
}

void TTickPanel::SetTickColor(int i, TColor c) {
    colors_[std::size_t(i)] = c;
    if (held_ || shown_[std::size_t(i)] == c) return;
    shown_[std::size_t(i)] = c;
    update(TickRect(i));
}

void TTickPanel::Hold() { held_ = true; }

void TTickPanel::Release() {
    held_ = false;
    for (int i = 0; i < TickCount; ++i) SetTickColor(i, colors_[std::size_t(i)]);
}

void TTickPanel::paintEvent(QPaintEvent* event) {
    TPanel::paintEvent(event);
    QPainter p(this);
    for (int i = 0; i < TickCount; ++i) {
        const QRect r = TickRect(i);
        if (event->rect().intersects(r)) p.fillRect(r, colors_[std::size_t(i)].ToQColor());
    }
}

TFrmBar10::TFrmBar10(QWidget* Owner) : QWidget(Owner) {
    resize(104, 30);
    Panel0 = new TTickPanel(this);
    Panel0->SetColor(clBlack);
    PeakLevel = 0;
    SetLevel(0);
}

int TFrmBar10::SetLevel(int n) {
    Panel0->SetColor(BackColor);
    Level = n > 10 ? 10 : n;
    if (PeakLevel < Level) PeakLevel = Level;
    // Paints over any peak tick drawn before; the owner's next peak pass puts it back.
    for (int i = 0; i < 10; ++i) Panel0->SetTickColor(i, i < Level ? ActiveColor : InactiveColor);
    return n - Level;
}

void TFrmBar10::SetActiveColor(TColor c) {
    ActiveColor = c;
    SetLevel(Level);
}

void TFrmBar10::SetInactiveColor(TColor c) {
    InactiveColor = c;
    SetLevel(Level);
}

void TFrmBar10::SetBackColor(TColor c) {
    BackColor = c;
    SetLevel(Level);
}

bool TFrmBar10::ShowPeak(bool GoOn) {
    if (!GoOn) return false;
    if (PeakLevel == 0) return true; // nothing held here: a lower segment decides
    if (PeakLevel > Level) Panel0->SetTickColor(PeakLevel - 1, PeakColor);
    return false;
}

bool TFrmBar10::ResetPeak(bool GoOn) {
    if (!GoOn) {
        PeakLevel = Level;
        return false;
    }
    if (PeakLevel == 0) return true;
    if (PeakLevel > Level) Panel0->SetTickColor(PeakLevel - 1, InactiveColor);
    PeakLevel = Level;
    return false;
}

} // namespace kaldor
