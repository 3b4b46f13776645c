// When a device counts as gone, and how the system's names and words reach the console: the
// same tables on Linux and under Wine.
#include <gtest/gtest.h>

#include "link/PortList.h"
#include "link/SerialFaults.h"
#include "link/SystemText.h"

using namespace kaldor;

TEST(SerialFaults, AReadEndsQuietlyOnlyByATimeOutOrTheConsolesOwnCancel) {
    const struct {
        uint32_t error;
        bool cancelledHere, quiet, clearCommMeansGone;
    } rows[] = {
        {ErrTimeout, false, true, false},           {ErrSemTimeout, false, true, false},
        {ErrOperationAborted, true, true, false},   {ErrOperationAborted, false, false, false},
        {ErrAccessDenied, false, false, true},      {ErrBadCommand, false, false, true},
        {ErrGenFailure, false, false, true},        {ErrDeviceNotConnected, false, false, true},
        {ErrInvalidHandle, false, false, true},     {87 /* invalid parameter */, false, false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ReadEndedQuietly(r.error, r.cancelledHere), r.quiet) << r.error << " " << r.cancelledHere;
        EXPECT_EQ(DeviceGone(r.error), r.clearCommMeansGone) << r.error;
    }
}

TEST(SerialFaults, ReadsThatReturnNothingAtOnceAgainAndAgainAreALostDevice) {
    struct Read {
        int got;
        double ms;
    };
    const struct {
        const char* name;
        int timeoutMs;
        std::vector<Read> reads;
        int lostAt; // index of the read that says lost, -1 for none
    } cases[] = {
        {"nothing at once, 20 times", 5000, std::vector<Read>(20, {0, 0.2}), 19},
        {"a quiet line waits out its time-out", 5000, std::vector<Read>(40, {0, 5000}), -1},
        {"data between resets the count", 5000, [] {
             std::vector<Read> r(19, {0, 0.2});
             r.push_back({3, 0.1});
             r.insert(r.end(), 19, {0, 0.2});
             return r;
         }(), -1},
        {"a short time-out is no spin", 10, std::vector<Read>(40, {0, 10}), -1},
    };
    for (const auto& c : cases) {
        QuickReadGuard guard;
        int lostAt = -1;
        for (size_t i = 0; i < c.reads.size() && lostAt < 0; ++i)
            if (guard.Lost(c.reads[i].got, c.reads[i].ms, c.timeoutMs)) lostAt = static_cast<int>(i);
        EXPECT_EQ(lostAt, c.lostAt) << c.name;
    }
}

TEST(PortList, EachPortOnceWithItsOwnNameAndBluetoothMarked) {
    // "USB-Serial (COM3)" in Russian, as the driver names it.
    const std::string cyrillic = "\xD0\x9F\xD0\xBE\xD1\x81\xD0\xBB\xD0\xB5\xD0\xB4\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0"
                                 "\xB5\xD0\xBB\xD1\x8C\xD0\xBD\xD1\x8B\xD0\xB9 \xD0\xBF\xD0\xBE\xD1\x80\xD1\x82 (COM3)";
    const auto ports = CombinePorts({{"\\Device\\VCP0", "COM3"}, {"\\Device\\BthModem0", "COM5"},
                                     {"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial0b", "COM1"},
                                     {"\\Device\\Odd", "LPT1"}},
                                    {cyrillic, "Standard Serial over Bluetooth link (COM5)", "broken (COM"});
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].Name, "COM1");
    EXPECT_EQ(ports[0].Label, "COM1");
    EXPECT_EQ(ports[1].Label, cyrillic);
    EXPECT_FALSE(ports[1].Bluetooth);
    EXPECT_EQ(ports[2].Name, "COM5");
    EXPECT_TRUE(ports[2].Bluetooth);
}

TEST(SystemText, TheSystemsWordsOnOneLine) {
    EXPECT_EQ(OneLine("The device is not ready.\r\n"), "The device is not ready.");
    EXPECT_EQ(OneLine("two\r\nlines\t here "), "two lines here");
    const std::string text = SystemErrorText(2);
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    EXPECT_NE(text.find("(error 2)"), std::string::npos) << text;
#ifdef _WIN32
    // Wide names from the system reach the console as UTF-8.
    EXPECT_EQ(Utf8(L"\x041F\x043E\x0440\x0442 COM3"), "\xD0\x9F\xD0\xBE\xD1\x80\xD1\x82 COM3");
    EXPECT_EQ(Wide("\xD0\x9F\xD0\xBE\xD1\x80\xD1\x82"), L"\x041F\x043E\x0440\x0442");
#endif
}
