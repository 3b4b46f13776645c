#pragma once
// A ten-tick segment of a bar meter. The owner chains ten of them: the level goes from the
// lowest segment up, each keeping what it can show; the peak tick is decided from the top.
#include "widgets/Color.h"
#include "widgets/Controls.h"

#include <QWidget>

#include <array>

namespace kaldor {

// The panel the ticks stand on, drawing them itself: a widget per tick made every reading
// cost a palette change and a paint event per changed tick. A changed tick repaints its own
// rectangle only. While held, changes are only recorded; Release repaints the ticks whose
// colour then differs from what was last shown, so a tick set and set back costs nothing.
class TTickPanel : public TPanel {
    Q_OBJECT
public:
    explicit TTickPanel(QWidget* parent = nullptr);

    static constexpr int TickCount = 10;
    // Tick i (0 = leftmost) in the panel's coordinates; the 5th and 10th are the tall marks.
    static QRect TickRect(int i);
    TColor TickColor(int i) const { return colors_[std::size_t(i)]; }
    void SetTickColor(int i, TColor c);
    void Hold();
    void Release();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<TColor, TickCount> colors_;
    std::array<TColor, TickCount> shown_;
    bool held_ = false;
};

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

    // Tick i (0 = leftmost, Panel1 .. Panel10): its colour and its place in Panel0.
    TColor TickColor(int i) const { return Panel0->TickColor(i); }
    QRect TickRect(int i) const { return TTickPanel::TickRect(i); }

    TTickPanel* Panel0;

    int Level = 0;
    int PeakLevel = 0; // highest Level since the last peak reset; 0 = no peak
    TColor ActiveColor = clAqua;
    TColor InactiveColor = clGray;
    TColor PeakColor = clWhite; // written by the owner directly: no setter, no redraw
    TColor BackColor = clBlack;
};

} // namespace kaldor
