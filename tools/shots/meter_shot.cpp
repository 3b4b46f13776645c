// Renders one bar meter configured like the main window's output power meter, showing a
// reading of 300.0 under a held peak of 600.0, and saves it as a PNG for a look by eye.
#include "widgets/Frmbar_100.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [--show [--no-substitutes]]\n", argv[0]);
        return 2;
    }
    if (!(argc > 3 && QString::fromLocal8Bit(argv[3]) == "--no-substitutes"))
        kaldor::InstallFontSubstitutes();
    const bool keepShowing = argc > 2 && QString::fromLocal8Bit(argv[2]) == "--show";

    // On a button-face ground, as inside the main window.
    QWidget window;
    window.resize(655, 65);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(kaldor::clBtnFace.ToQColor()));
    auto* meter = new kaldor::TFrmBar100(&window);
    meter->setObjectName("Frm_PA");
    meter->move(10, 10);
    meter->Timer1->stop(); // hold the peak for the picture
    meter->SetCaption("PA OUT");
    meter->SetFullScale(12000);
    meter->SetUnit(" W pep");
    meter->SetActiveColor(kaldor::clLime);
    meter->SetPeakColor(kaldor::clLime);
    meter->SetValue(-1);
    meter->SetValue(6000);
    meter->SetValue(3000);
    window.show();
    QApplication::processEvents();

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    if (!keepShowing) return 0;
    QTimer::singleShot(3000, &app, &QApplication::quit);
    return app.exec();
}
