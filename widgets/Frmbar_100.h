#pragma once
// A 100-tick bar meter with scale, caption, peak readout and unit, built from ten segments.
// Readings are integers in tenths of the unit; a negative reading switches the meter off.
// The ticks follow the reading; the scale texts and the readout follow the held peak, which
// drops back to the reading about one second after the reading last stood at it.
#include "link/Clock.h"
#include "widgets/Color.h"
#include "widgets/Controls.h"
#include "widgets/Frmbar_10.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <climits>
#include <cstdint>
#include <string>

namespace kaldor {

class TFrmBar100 : public QWidget {
    Q_OBJECT
public:
    explicit TFrmBar100(QWidget* Owner = nullptr);

    void SetValue(int v);
    void SetFullScale(int f); // below 100 is taken as 100
    void SetCaption(const std::string& s); // Windows-1252
    void SetUnit(const std::string& s);    // Windows-1252
    void SetActiveColor(TColor c);
    void SetInactiveColor(TColor c);
    void SetPeakColor(TColor c);
    void SetBackColor(TColor c);
    void ResetPeak();
    void RestartPeakHold();
    void Timer1Timer(QObject* Sender);

    TPanel* Panel0;
    std::array<TFrmBar10*, 10> Segments; // FrmBar101 (lowest, leftmost) .. FrmBar1010
    TPanel* pnlTick0;
    TStaticText* st50;
    TStaticText* st25;
    TStaticText* st75;
    TStaticText* st100;
    TStaticText* st0;
    TStaticText* stPeak;
    TStaticText* stLabel;
    TStaticText* stMeasUnit;
    QTimer* Timer1;

    std::int32_t Value = 0;
    std::int32_t Peak = 0;
    std::int32_t FullScale = 0;
    std::int32_t Step = 0;
    TDateTime PeakDeadline = 0.0;
    std::int32_t Scale25 = 0, Scale50 = 0, Scale75 = 0, Scale100 = 0;
    TColor ActiveColor, InactiveColor, PeakColor, BackColor;
    TColor OverTextColor, OverBackColor;
    std::string LabelText;
    std::string PeakFormat;
    std::string UnitText;

private:
    // Keeps the segments' ticks held while an operation redraws them (nests).
    class TickBatch {
    public:
        explicit TickBatch(TFrmBar100& m);
        ~TickBatch();
    private:
        TFrmBar100& m_;
    };
    void PeakResetChain();
    void ShowReadout(std::int32_t tenths);
    void Draw(bool off);
    std::string FormatReadout(std::int32_t tenths) const;

    int batchDepth_ = 0;
    // The reading the meter was last drawn for; every other change forgets it. A status
    // repeats most readings, and drawing one again would change nothing.
    static constexpr int NotDrawn = INT_MIN;
    int drawn_ = NotDrawn;
    std::int32_t readout_ = -1; // tenths the readout shows; -1 before the first
};

} // namespace kaldor
