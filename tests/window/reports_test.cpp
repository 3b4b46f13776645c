// The two report dialogs, and every screen's renderer under random status data.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <condition_variable>
#include <mutex>
#include <random>

#include "WindowFixture.h"
#include "link/Frames.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

const std::string k20(20, ' ');

class ReportsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        OpenLine();
    }
    static std::vector<std::string> Lines(const TInfoDialog* dlg) {
        std::vector<std::string> out;
        for (const QString& l : dlg->edtInfo->toPlainText().split('\n')) out.push_back(l.toStdString());
        return out;
    }
    static StatusPayload Report(uint8_t screen, std::initializer_list<uint8_t> data) {
        StatusPayload p = StatusPayload().Screen(screen);
        int i = 0;
        for (uint8_t d : data) p.ScreenData(i++, d);
        return p;
    }
};

TEST_F(ReportsTest, CatReportListsBothInputsAndTheRelease) {
    struct Case {
        std::initializer_list<uint8_t> data; // cat, type, baud of IN 1 and IN 2
        std::string cat, type, baud;
    } cases[] = {
        {{3, 4, 3, 7, 0, 0}, " CAT : YAESU             CAT : NONE         ",
         " TYPE: FT897        " + std::string(24, ' '), " BAUD: 9600         " + std::string(24, ' ')},
        {{1, 1, 2, 1, 0, 2}, " CAT : ICOM              CAT : ICOM         ",
         " TYPE: VOLTAGE_BAND      TYPE: CI-V         ", k20 + "     BAUD: 4800         "},
        {{4, 0, 1, 2, 9, 0}, " CAT : TEN-TEC           CAT : KENWOOD      ",
         " TYPE: OMNI VII          TYPE: ALL          ", k20 + "     BAUD: 1200         "},
        {{2, 7, 3, 7, 0, 0}, " CAT : KENWOOD           CAT : NONE         ",
         " TYPE: ALL          " + std::string(24, ' '), " BAUD: 9600         " + std::string(24, ' ')},
        // Numbers past the lists: blank names and columns.
        {{9, 0, 0, 5, 0, 4}, " CAT :                   CAT : FLEX-RADIO   ", k20 + "     TYPE: ALL          ",
         std::string(44, ' ')},
        {{3, 15, 0, 1, 2, 0}, " CAT : YAESU             CAT : ICOM         ", std::string(44, ' '),
         " BAUD: 1200              BAUD: 1200         "},
        {{3, 14, 0, 4, 4, 0}, " CAT : YAESU             CAT : TEN-TEC      ",
         " TYPE: BAND_DATA    " + std::string(24, ' '), std::string(44, ' ')},
    };
    for (const Case& c : cases) {
        StatusPayload p = Report(3, c.data).ScreenData(6, 0x07).ScreenData(7, 0x07).ScreenData(8, 0x07);
        ASSERT_TRUE(Feed(p.ScreenData(9, 'C')));
        const std::vector<std::string> expected = {"",
                                                   "------- IN 1 -------    ------- IN 2 -------",
                                                   c.cat,
                                                   c.type,
                                                   c.baud,
                                                   "",
                                                   "        KALDOR M7-QX Rel. 07_07_07_C        "};
        EXPECT_EQ(Lines(form->dlgCATInfo), expected) << c.cat;
        EXPECT_EQ(form->dlgCATInfo->windowTitle(), "KALDOR M7-QX: CATs and Release report");
        EXPECT_TRUE(form->dlgCATInfo->isVisible());
        ASSERT_TRUE(Feed(5));
    }
}

TEST_F(ReportsTest, CatReportShowsOncePerVisitInACentredFixedDialog) {
    ASSERT_TRUE(Feed(3));
    ASSERT_TRUE(form->dlgCATInfo->isVisible());
    EXPECT_FALSE(form->dlgCATInfo->isModal());
    EXPECT_EQ(form->dlgCATInfo->size(), QSize(451, 218));
    EXPECT_EQ(form->dlgCATInfo->minimumSize(), form->dlgCATInfo->maximumSize());
    EXPECT_EQ(form->dlgCATInfo->edtInfo->geometry(), QRect(25, 16, 406, 145));
    EXPECT_TRUE(form->dlgCATInfo->edtInfo->isReadOnly());
    EXPECT_EQ(form->dlgCATInfo->OKBtn->geometry(), QRect(192, 172, 75, 25));
    EXPECT_EQ(form->dlgANTInfo->OKBtn->geometry(), QRect(192, 180, 75, 25));
    EXPECT_TRUE(form->dlgCATInfo->OKBtn->isDefault());
    const QPoint centre = form->dlgCATInfo->screen()->availableGeometry().center();
    EXPECT_LE((form->dlgCATInfo->geometry().center() - centre).manhattanLength(), 2);
    QTest::mouseClick(form->dlgCATInfo->OKBtn, Qt::LeftButton);
    EXPECT_FALSE(form->dlgCATInfo->isVisible());
    ASSERT_TRUE(Feed(3));
    EXPECT_FALSE(form->dlgCATInfo->isVisible()) << "closed until the screen comes again";
    ASSERT_TRUE(Feed(5));
    ASSERT_TRUE(Feed(3));
    EXPECT_TRUE(form->dlgCATInfo->isVisible());
}

TEST_F(ReportsTest, AntennaReportRebuildsOnAChangeOfKindAndEmptiesOnClose) {
    const std::initializer_list<uint8_t> pairs = {0, 0x10, 0x21, 0x32, 0x03, 0x42, 0x15, 0x26, 0x37, 0x5A, 0x49};
    ASSERT_TRUE(Feed(Report(4, pairs)));
    EXPECT_EQ(form->dlgANTInfo->windowTitle(), "KALDOR M7-QX: Antennas->Bands report relative to IN 1");
    const std::vector<std::string> kind0 = {"",
                                            "------------ ANTENNAS vs. BANDS ------------",
                                            "   2   : 160 m | NONE:  40 m |     :        ",
                                            "   3   :  80 m | 2   :  17 m | NONE:   6 m  ",
                                            "   4   :  40 m | 3   :  15 m |              ",
                                            "   1   :  30 m | 4   :  12 m |              "};
    EXPECT_EQ(Lines(form->dlgANTInfo), kind0);
    EXPECT_EQ(form->dlgANTInfo->ShownReport, 0);
    ASSERT_TRUE(Feed(Report(4, {0, 0x99})));
    EXPECT_EQ(Lines(form->dlgANTInfo), kind0) << "the same kind is not rebuilt";

    ASSERT_TRUE(Feed(Report(4, {1, 0x10, 0x21, 0x32, 0x03, 0x42, 0x15, 0x26, 0x37, 0x5A, 0x49}).Byte(14, 1)));
    EXPECT_EQ(form->dlgANTInfo->windowTitle(), "KALDOR M7-QX: Bands->Antennas report relative to IN 2");
    const std::vector<std::string> kind1 = {"",
                                            "------------ BANDS vs. ANTENNAS ------------",
                                            "    80 m: 1    |  20 m: 3    |  17 m:       ",
                                            "    40 m: 2    |  80 m:      |  20 m:       ",
                                            "    30 m: 3    |  40 m:      |              ",
                                            "   160 m: 4    |  30 m:      |              "};
    EXPECT_EQ(Lines(form->dlgANTInfo), kind1);

    form->dlgANTInfo->close();
    EXPECT_EQ(form->dlgANTInfo->ShownReport, -1);
    EXPECT_TRUE(form->dlgANTInfo->edtInfo->toPlainText().isEmpty());
    ASSERT_TRUE(Feed(Report(4, {2})));
    EXPECT_TRUE(form->dlgANTInfo->isVisible()) << "shown on every status of the screen";
    EXPECT_TRUE(form->dlgANTInfo->edtInfo->toPlainText().isEmpty()) << "an unknown kind builds nothing";
    ASSERT_TRUE(Feed(Report(4, {1, 0x10})));
    EXPECT_EQ(Lines(form->dlgANTInfo)[2].substr(0, 14), "    80 m: 1   ");
}

// Takes the receiver's hand-off and never runs it, so the receiver waits while the test
// writes the status and calls the status event itself.
class HoldingDispatcher : public Dispatcher {
public:
    void Post(std::function<void()>) override {
        std::lock_guard<std::mutex> lock(m_);
        posted_ = true;
        cv_.notify_all();
    }
    bool WaitPosted() {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(3), [this] { return posted_; });
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool posted_ = false;
};

TEST_F(WindowTest, EveryScreenSurvivesRandomStatusData) {
    HoldingDispatcher hold;
    form->ComThread = std::make_unique<TComThread>(SerialPort(), nullptr, &hold);
    ASSERT_TRUE(hold.WaitPosted());
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> byte(0, 255), screen(3, 29), change(0, 3);
    StatusPayload p;
    int current = 3;
    // Showing a report dialog again asks to raise it, which the headless platform declines loudly.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    for (int i = 0; i < 1500; ++i) {
        for (int k = 1; k < 30; ++k) p.Byte(k, static_cast<uint8_t>(byte(rng)));
        p.Byte(0, static_cast<uint8_t>(0xA0 | (byte(rng) & 0x0F)));
        if (change(rng) == 0) current = screen(rng); // mostly updates of one screen
        p.Screen(static_cast<uint8_t>(current));
        DecodeStatusPayload(p.b.data(), *form->ComThread);
        form->HandleStatus(form->ComThread.get());
        if (i % 256 == 0) QCoreApplication::processEvents();
    }
    qInstallMessageHandler(previous);
    EXPECT_LE(form->dlgANTInfo->ShownReport, 1);
    form->StopReceiver();
}

} // namespace
