#include "widgets/Frmbar_10.h"

namespace kaldor {

TFrmBar10::TFrmBar10(QWidget* Owner) : QWidget(Owner) {
    resize(104, 30);
    Panel0 = new TPanel(this, QStringLiteral("Panel0"), QRect(0, 3, 40, 21));
    Panel0->SetColor(clBlack);
    for (int k = 1; k <= 10; ++k) {
        // The fifth and tenth ticks mark the half and the end of the segment.
        const bool tall = k == 5 || k == 10;
        auto* tick = new TPanel(Panel0, QStringLiteral("Panel%1").arg(k),
                                QRect(1 + 4 * (k - 1), tall ? 1 : 5, 2, tall ? 16 : 12));
        tick->SetColor(clLime);
        Ticks[std::size_t(k - 1)] = tick;
    }
    PeakLevel = 0;
    SetLevel(0);
}

int TFrmBar10::SetLevel(int n) {
    Panel0->SetColor(BackColor);
    Level = n > 10 ? 10 : n;
    if (PeakLevel < Level) PeakLevel = Level;
    // Repaints any peak tick drawn before; the owner's next peak pass puts it back.
    for (int i = 0; i < 10; ++i)
        Ticks[std::size_t(i)]->SetColor(i < Level ? ActiveColor : InactiveColor);
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
    if (PeakLevel > Level) Ticks[std::size_t(PeakLevel - 1)]->SetColor(PeakColor);
    return false;
}

bool TFrmBar10::ResetPeak(bool GoOn) {
    if (!GoOn) {
        PeakLevel = Level;
        return false;
    }
    if (PeakLevel == 0) return true;
    if (PeakLevel > Level) Ticks[std::size_t(PeakLevel - 1)]->SetColor(InactiveColor);
    PeakLevel = Level;
    return false;
}

} // namespace kaldor
