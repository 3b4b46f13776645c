#include "shell/MessageBox.h"

namespace kaldor {
namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefaultButtonMask = 0xF00;

MessageBoxResponder& Responder() {
    static MessageBoxResponder responder;
    return responder;
}

bool IsYesNo(unsigned flags) { return (flags & kButtonMask) == MB_YESNO; }

} // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const QString& text,
                                             const QString& caption, unsigned flags,
                                             const QString& detail) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & kIconMask) {
    case MB_ICONHAND: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
    case 0x40: icon = QMessageBox::Information; break; // MB_ICONASTERISK
    default: break;
    }
    const bool yesNo = IsYesNo(flags);
    auto box = std::make_unique<QMessageBox>(icon, caption, text,
                                             yesNo ? QMessageBox::Yes | QMessageBox::No
                                                   : QMessageBox::Ok,
                                             parent);
    if (yesNo) {
        const bool second = (flags & kDefaultButtonMask) == MB_DEFBUTTON2;
        box->setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
        // A Yes/No box has no cancel: Escape and the title bar's close answer No.
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    if (!detail.isEmpty()) box->setDetailedText(detail);
    return box;
}

int AnswerFor(QMessageBox::StandardButton button, unsigned flags) {
    if (IsYesNo(flags)) return button == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned flags,
                   const QString& detail) {
    // A copy: the responder may replace itself while it answers.
    const MessageBoxResponder responder = Responder();
    if (responder) return responder(MessageBoxCall{parent, text, caption, flags, detail});
    const auto box = BuildMessageBox(parent, text, caption, flags, detail);
    box->exec();
    return AnswerFor(box->standardButton(box->clickedButton()), flags);
}

void SetMessageBoxResponder(MessageBoxResponder responder) { Responder() = std::move(responder); }

ScopedMessageBoxResponder::ScopedMessageBoxResponder(MessageBoxResponder responder)
    : previous_(Responder()) {
    SetMessageBoxResponder(std::move(responder));
}

ScopedMessageBoxResponder::~ScopedMessageBoxResponder() {
    SetMessageBoxResponder(std::move(previous_));
}

} // namespace kaldor
