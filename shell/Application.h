#pragma once
#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

namespace kaldor {

// The console's application object. An exception that escapes an event handler ends up in
// notify(), which reports it and lets the message loop run on.
class KaldorApplication : public QApplication {
    Q_OBJECT

public:
    KaldorApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The standard exception report: the exception's text in a stop-icon box captioned
// "KALDOR Console" (while an application object exists) and one line on standard error.
void ReportException(std::exception_ptr error);
QString ExceptionText(std::exception_ptr error);

// For the program entry: runs body; an exception escaping it (start-up, the message loop) is
// reported and 0 returned.
int RunGuarded(const std::function<int()>& body);

} // namespace kaldor
