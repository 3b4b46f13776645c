#pragma once
// The two report dialogs: a text box of fixed-pitch report lines and an OK button. Created once
// with the main window, which owns them, and shown without being modal.
#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace kaldor {

class TInfoDialog : public QDialog {
    Q_OBJECT
public:
    QPlainTextEdit* edtInfo = nullptr;
    QPushButton* OKBtn = nullptr;

    // Replaces the text with these lines (Windows-1252).
    void SetLines(const std::vector<std::string>& lines);
    // Shows the dialog in the centre of the screen, or brings it to the front when it shows.
    void ShowReport();
    void OKBtnClick() { accept(); }

protected:
    TInfoDialog(QWidget* owner, const char* name, int okTop);
};

class TdlgCATInfo : public TInfoDialog {
    Q_OBJECT
public:
    explicit TdlgCATInfo(QWidget* owner);
};

class TdlgANTInfo : public TInfoDialog {
    Q_OBJECT
public:
    explicit TdlgANTInfo(QWidget* owner);

    // Kind of the report the text box holds: 0 antennas to bands, 1 bands to antennas, -1 none.
    int ShownReport = -1;

    // Every closing, by OK or by the title bar, empties the report.
    void FormClose();
    void done(int result) override;
};

} // namespace kaldor
