#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QWidget>

#include <vector>

#include "shell/MessageBox.h"

using namespace kaldor;

TEST(MessageBoxSeam, AResponderSeesEveryCallAndGivesTheScriptedAnswers) {
    std::vector<MessageBoxCall> calls;
    std::vector<int> answers{IDNO, IDYES};
    ScopedMessageBoxResponder responder([&](const MessageBoxCall& call) {
        calls.push_back(call);
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    QWidget window;
    const unsigned exitQuestion = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    EXPECT_EQ(exitQuestion, 0x124u);
    EXPECT_EQ(ShowMessageBox(&window, "Do you really want to terminate this application?",
                             kAppCaption, exitQuestion),
              IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, "second", "other caption", MB_OK | MB_ICONEXCLAMATION),
              IDYES);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Parent, &window);
    EXPECT_EQ(calls[0].Text, "Do you really want to terminate this application?");
    EXPECT_EQ(calls[0].Caption, "KALDOR Console");
    EXPECT_EQ(calls[0].Flags, 0x124u);
    EXPECT_EQ(calls[1].Parent, nullptr);
    EXPECT_EQ(calls[1].Caption, "other caption");
    EXPECT_EQ(calls[1].Flags, 0x30u);
}

// The real box is built, never shown: its buttons, icon and default follow the flags.
TEST(MessageBoxSeam, TheRealBoxFollowsTheFlags) {
    QWidget window;
    {
        const auto box = BuildMessageBox(&window, "Do you really want to terminate this application?",
                                         kAppCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        EXPECT_EQ(box->windowTitle(), "KALDOR Console");
        EXPECT_EQ(box->text(), "Do you really want to terminate this application?");
        EXPECT_EQ(box->parentWidget(), &window);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        EXPECT_EQ(box->escapeButton(), static_cast<QAbstractButton*>(box->button(QMessageBox::No)));
    }
    {
        const auto box = BuildMessageBox(nullptr, "q", kAppCaption, MB_YESNO | MB_ICONQUESTION);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    }
    {
        const auto box = BuildMessageBox(&window, "t", kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
    {
        const auto box = BuildMessageBox(&window, "t", kAppCaption, MB_OK | MB_ICONHAND);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->detailedText(), "");
        const auto detailed = BuildMessageBox(&window, "t", kAppCaption, MB_OK, "COM1: gone");
        EXPECT_EQ(detailed->text(), "t");
        EXPECT_EQ(detailed->detailedText(), "COM1: gone"); // behind "Show Details..."
    }
    EXPECT_EQ(AnswerFor(QMessageBox::Yes, MB_YESNO), IDYES);
    EXPECT_EQ(AnswerFor(QMessageBox::No, MB_YESNO), IDNO);
    EXPECT_EQ(AnswerFor(QMessageBox::NoButton, MB_YESNO | MB_DEFBUTTON2), IDNO) << "closed";
    EXPECT_EQ(AnswerFor(QMessageBox::Ok, MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(AnswerFor(QMessageBox::NoButton, MB_OK), IDOK);
}
