// The CAT and release report and the antenna report: text reports in their
// own dialogs, not on the character display.
#include <string>
#include <vector>

#include "panel/InfoDialogs.h"
#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

const char* const ReportCatNames[8] = {"OLV          ", "ICOM         ", "KENWOOD      ",
                                       "YAESU        ", "TEN-TEC      ", "FLEX-RADIO   ",
                                       "RS-232       ", "NONE         "};
const char* const ReportIcomTypes[2] = {" TYPE: CI-V         ", " TYPE: VOLTAGE_BAND "};
const char* const ReportYaesuTypes[15] = {
    " TYPE: FT100        ", " TYPE: FT757 GX2    ", " TYPE: FT817/847    ",
    " TYPE: FT840/890    ", " TYPE: FT897        ", " TYPE: FT900        ",
    " TYPE: FT920        ", " TYPE: FT990        ", " TYPE: FT1000       ",
    " TYPE: FT1000 MP1   ", " TYPE: FT1000 MP2   ", " TYPE: FT1000 MP3   ",
    " TYPE: FT2000       ", " TYPE: FT9000D      ", " TYPE: BAND_DATA    "};
const char* const ReportTenTecTypes[4] = {" TYPE: OMNI VII     ", " TYPE: ORION I/II   ",
                                          " TYPE: JUPITER      ", " TYPE: ARGONAUT V   "};
const char* const ReportBaudTexts[4] = {" BAUD: 1200         ", " BAUD: 2400         ",
                                        " BAUD: 4800         ", " BAUD: 9600         "};
const char* const AllTypes = " TYPE: ALL          ";
const char* const ReportAntennaNames[5] = {"1   ", "2   ", "3   ", "4   ", "NONE"};
const char* const ReportBandNames[10] = {"160 m", " 80 m", " 40 m", " 30 m", " 20 m",
                                         " 17 m", " 15 m", " 12 m", " 10 m", "  6 m"};

// A number past its list reads as blanks of the list's width, so the columns stay in line.
template <std::size_t N>
std::string Entry(const char* const (&list)[N], unsigned index) {
    return index < N ? list[index] : std::string(std::char_traits<char>::length(list[0]), ' ');
}

const std::string BlankColumn(20, ' ');

struct CatColumns {
    std::string Name, Type, Baud;
};

CatColumns CatColumnsFor(unsigned cat, unsigned type, unsigned baud) {
    std::string typeText = BlankColumn;
    bool baudShown = false;
    switch (cat) {
    case CatIcom: typeText = Entry(ReportIcomTypes, type); baudShown = type != 1; break;
    case CatKenwood:
    case CatFlexRadio: typeText = AllTypes; baudShown = true; break;
    case CatYaesu: typeText = Entry(ReportYaesuTypes, type); baudShown = type != 14; break;
    case CatTenTec: typeText = Entry(ReportTenTecTypes, type); break;
    default: break;
    }
    return {Entry(ReportCatNames, cat), typeText,
            baudShown ? Entry(ReportBaudTexts, baud) : BlankColumn};
}

// Two digits and a separator per byte, then the suffix character: 07_07_07_C.
std::string ReleaseText(const uint16_t* sd) {
    std::string text;
    for (int i = 6; i <= 8; ++i) {
        text += static_cast<char>(0x30 + ((sd[i] >> 4) & 0x0F));
        text += static_cast<char>(0x30 + (sd[i] & 0x0F));
        text += '_';
    }
    const auto suffix = static_cast<unsigned char>(sd[9]);
    text += suffix < 0x20 ? ' ' : static_cast<char>(suffix); // a control code would not print
    return text;
}

std::vector<std::string> CatReportLines(const uint16_t* sd) {
    const CatColumns in1 = CatColumnsFor(sd[0], sd[1], sd[2]);
    const CatColumns in2 = CatColumnsFor(sd[3], sd[4], sd[5]);
    return {"",
            "------- IN 1 -------    ------- IN 2 -------",
            " CAT : " + in1.Name + "     CAT : " + in2.Name,
            in1.Type + "    " + in2.Type,
            in1.Baud + "    " + in2.Baud,
            "",
            "        KALDOR M7-QX Rel. " + ReleaseText(sd) + "        "};
}

std::vector<std::string> AntennaReportLines(int kind, const uint16_t* sd) {
    auto pair = [&](int n) {
        const unsigned p = sd[n] & 0xFF;
        return kind == 0 ? Entry(ReportAntennaNames, p >> 4) + ": " + Entry(ReportBandNames, p & 0x0F)
                         : Entry(ReportBandNames, p >> 4) + ": " + Entry(ReportAntennaNames, p & 0x0F);
    };
    return {"",
            kind == 0 ? "------------ ANTENNAS vs. BANDS ------------"
                      : "------------ BANDS vs. ANTENNAS ------------",
            "   " + pair(1) + " | " + pair(5) + " | " + pair(9) + "  ",
            "   " + pair(2) + " | " + pair(6) + " | " + pair(10) + "  ",
            "   " + pair(3) + " | " + pair(7) + " |              ",
            "   " + pair(4) + " | " + pair(8) + " |              "};
}

} // namespace

void ShowCatReport(TMainForm& f) {
    if (f.LastScreen == ScrCatReport) return;
    f.LastScreen = ScrCatReport;
    f.dlgCATInfo->setWindowTitle(QStringLiteral("KALDOR M7-QX: CATs and Release report"));
    f.dlgCATInfo->SetLines(CatReportLines(f.ComThread->ScreenData));
    f.dlgCATInfo->ShowReport();
}

void ShowAntennaReport(TMainForm& f) {
    const TComThread& st = *f.ComThread;
    const uint16_t kind = st.ScreenData[0];
    if (kind <= 1 && f.dlgANTInfo->ShownReport != kind) {
        f.dlgANTInfo->setWindowTitle(
            QString::fromLatin1(kind == 0 ? "KALDOR M7-QX: Antennas->Bands report relative to IN %1"
                                          : "KALDOR M7-QX: Bands->Antennas report relative to IN %1")
                .arg(st.Input + 1));
        f.dlgANTInfo->SetLines(AntennaReportLines(kind, st.ScreenData));
        f.dlgANTInfo->ShownReport = kind;
    }
    f.dlgANTInfo->ShowReport();
}

} // namespace kaldor
