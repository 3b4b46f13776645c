// Saves the SETUP OPTIONS screen as a PNG, CONTEST selected unless another item is given:
// lcd-shot <file.png> [item]
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "panel/LcdCanvas.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file.png> [item]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    kaldor::TLcdCanvas lcd;
    lcd.InitLcd(nullptr);
    lcd.LcdTextOut(0, 0, false, std::string(40, '-'));
    lcd.LcdTextOut(8, 0, false, " SETUP OPTIONS vs. IN 1 ");
    const int item = argc > 2 ? std::atoi(argv[2]) : 4;
    lcd.LcdDrawMenu(kaldor::SetupMenu, static_cast<uint8_t>(item), true);
    return lcd.Image().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
