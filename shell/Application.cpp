#include "shell/Application.h"

#include "shell/MessageBox.h"

#include <QWidget>

#include <cstdio>

namespace kaldor {

KaldorApplication::KaldorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KaldorApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
    }
    return false;
}

QString ExceptionText(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        const QString text = QString::fromLocal8Bit(e.what());
        if (!text.isEmpty()) return text;
    } catch (...) {
    }
    return QStringLiteral("An unknown error has occurred.");
}

void ReportException(std::exception_ptr error) {
    const QString text = ExceptionText(error);
    std::fprintf(stderr, "KALDOR Console: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    // A box needs the widget application; before it exists (or after it is gone) stderr only.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        ShowMessageBox(QApplication::activeWindow(), text, QString::fromLatin1(kAppCaption),
                       MB_OK | MB_ICONHAND);
}

int RunGuarded(const std::function<int()>& body) {
    try {
        return body();
    } catch (...) {
        ReportException(std::current_exception());
    }
    return 0;
}

} // namespace kaldor
