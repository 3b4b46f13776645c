#include <gtest/gtest.h>

#include <QEvent>
#include <QTimer>

#include <stdexcept>
#include <vector>

#include "shell/Application.h"
#include "shell/MessageBox.h"
#include "support/TestPlatform.h"

using namespace kaldor;

namespace {

class ThrowingObject : public QObject {
public:
    int delivered = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++delivered;
            throw std::runtime_error("The serial port has gone.");
        }
        if (e->type() == QEvent::User + 1) {
            ++delivered;
            return true;
        }
        return QObject::event(e);
    }
};

class ExceptionReportTest : public ::testing::Test {
protected:
    std::vector<MessageBoxCall> calls;
    ScopedMessageBoxResponder responder{[this](const MessageBoxCall& call) {
        calls.push_back(call);
        return IDOK;
    }};
};

} // namespace

TEST_F(ExceptionReportTest, AnExceptionFromAnEventHandlerIsReportedAndTheLoopGoesOn) {
    ThrowingObject target;
    testing::internal::CaptureStderr();
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::processEvents();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(target.delivered, 2) << "the event after the failing one is still delivered";
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Text, "The serial port has gone.");
    EXPECT_EQ(calls[0].Caption, "KALDOR Console");
    EXPECT_EQ(calls[0].Flags, MB_OK | MB_ICONHAND);
    EXPECT_NE(err.find("The serial port has gone."), std::string::npos) << err;
}

TEST_F(ExceptionReportTest, AQueuedCallThatThrowsSomethingElseIsReportedToo) {
    QTimer::singleShot(0, qApp, [] { throw 42; });
    bool after = false;
    QTimer::singleShot(0, qApp, [&] { after = true; });
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5 && !after; ++i) QCoreApplication::processEvents();
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(after);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Text, "An unknown error has occurred.");
}

TEST_F(ExceptionReportTest, RunGuardedReportsWhatEscapesTheEntryAndReturnsZero) {
    EXPECT_EQ(RunGuarded([] { return 3; }), 3);
    EXPECT_TRUE(calls.empty());
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunGuarded([]() -> int { throw std::logic_error("start-up failed"); }), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Text, "start-up failed");
    EXPECT_EQ(calls[0].Flags, 0x10u);
    EXPECT_NE(err.find("start-up failed"), std::string::npos);
}

int main(int argc, char** argv) {
    kaldor::test::ChooseTestPlatform();
    KaldorApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
