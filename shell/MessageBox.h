#pragma once
#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

#include "link/NonCopyable.h"

class QWidget;

namespace kaldor {

// Every message box of the console goes through ShowMessageBox, with the flags and results
// numbered as Win32 numbers them (where <windows.h> is included first, its macros of the same
// values stand in).
#ifndef MB_OK
constexpr unsigned MB_OK = 0x0;
#endif
#ifndef MB_YESNO
constexpr unsigned MB_YESNO = 0x4;
#endif
#ifndef MB_ICONHAND
constexpr unsigned MB_ICONHAND = 0x10;
#endif
#ifndef MB_ICONQUESTION
constexpr unsigned MB_ICONQUESTION = 0x20;
#endif
#ifndef MB_ICONEXCLAMATION
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
#endif
#ifndef MB_DEFBUTTON2
constexpr unsigned MB_DEFBUTTON2 = 0x100;
#endif
#ifndef IDOK
constexpr int IDOK = 1;
#endif
#ifndef IDYES
constexpr int IDYES = 6;
#endif
#ifndef IDNO
constexpr int IDNO = 7;
#endif

// The caption of every message box the console shows.
inline constexpr char kAppCaption[] = "KALDOR Console";

struct MessageBoxCall {
    QWidget* Parent = nullptr;
    QString Text;
    QString Caption;
    unsigned Flags = 0;
    QString Detail; // behind the box's "Show Details..." button; empty for none
};

using MessageBoxResponder = std::function<int(const MessageBoxCall&)>;

// Shows a modal box (buttons, icon and default button from flags) and returns IDOK, IDYES or
// IDNO. With a responder installed, the responder answers instead and nothing is shown.
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned flags,
                   const QString& detail = QString());

// An empty responder brings the real box back. Window thread only.
void SetMessageBoxResponder(MessageBoxResponder responder);

// Installs a responder for its lifetime, then puts the previous one back.
class ScopedMessageBoxResponder : NonCopyable {
public:
    explicit ScopedMessageBoxResponder(MessageBoxResponder responder);
    ~ScopedMessageBoxResponder();

private:
    MessageBoxResponder previous_;
};

// The real box as ShowMessageBox would show it, not yet shown; and the answer for the button
// that closed it.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const QString& text,
                                             const QString& caption, unsigned flags,
                                             const QString& detail = QString());
int AnswerFor(QMessageBox::StandardButton button, unsigned flags);

} // namespace kaldor
