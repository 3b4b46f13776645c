#pragma once
// A ten-tick segment of a bar meter. The owner chains ten of them: the level goes from the
// lowest segment up, each keeping what it can show; the peak tick is decided from the top.
#include "widgets/Color.h"
#include "widgets/Controls.h"

#include <QWidget>

#include <array>

namespace kaldor {

class TFrmBar10 : public QWidget {
    Q_OBJECT
public:
    explicit TFrmBar10(QWidget* Owner = nullptr);

    // Lights min(n, 10) ticks from the left and returns what is left for the next segment.
    int SetLevel(int n);
    void SetActiveColor(TColor c);
    void SetInactiveColor(TColor c);
    void SetBackColor(TColor c);
    // Called from the highest segment down with the previous segment's result.
    bool ShowPeak(bool GoOn);
    bool ResetPeak(bool GoOn);

    TPanel* Panel0;
    std::array<TPanel*, 10> Ticks; // Panel1 .. Panel10, leftmost first

    int Level = 0;
    int PeakLevel = 0; // highest Level since the last peak reset; 0 = no peak
    TColor ActiveColor = clAqua;
    TColor InactiveColor = clGray;
    TColor PeakColor = clWhite; // written by the owner directly: no setter, no redraw
    TColor BackColor = clBlack;
};

} // namespace kaldor
