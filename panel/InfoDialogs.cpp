#include "panel/InfoDialogs.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "widgets/Controls.h"

namespace kaldor {

TInfoDialog::TInfoDialog(QWidget* owner, const char* name, int okTop)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QString::fromLatin1(name));
    setModal(false);
    setFixedSize(451, 218);

    edtInfo = new QPlainTextEdit(this);
    edtInfo->setObjectName(QStringLiteral("edtInfo"));
    edtInfo->setGeometry(25, 16, 406, 145);
    edtInfo->setReadOnly(true);
    edtInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    SetFont(edtInfo, QStringLiteral("Courier New"), 15);
    QPalette pal = edtInfo->palette(); // the text box draws on its base, not its window
    pal.setColor(QPalette::Base, clBlack.ToQColor());
    pal.setColor(QPalette::Text, clYellow.ToQColor());
    edtInfo->setPalette(pal);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(192, okTop, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
}

void TInfoDialog::SetLines(const std::vector<std::string>& lines) {
    // One text rather than appended lines: an append to an empty box would take over its first,
    // empty line.
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += QLatin1Char('\n');
        text += FromWin1252(lines[i]);
    }
    edtInfo->setPlainText(text);
}

void TInfoDialog::ShowReport() {
    if (isVisible()) {
        if (!isActiveWindow()) raise();
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    show();
}

TdlgCATInfo::TdlgCATInfo(QWidget* owner) : TInfoDialog(owner, "dlgCATInfo", 172) {}

TdlgANTInfo::TdlgANTInfo(QWidget* owner) : TInfoDialog(owner, "dlgANTInfo", 180) {
    setWindowTitle(QStringLiteral("KALDOR: Antennas->Bands info"));
}

void TdlgANTInfo::FormClose() {
    edtInfo->clear();
    ShownReport = -1;
}

void TdlgANTInfo::done(int result) {
    QDialog::done(result);
    FormClose();
}

} // namespace kaldor
