#pragma once
// Reads the character display back into text: each cell is matched against the glyphs that a
// display of its own draws, normal and inverse. Cells that match nothing read as '?'.
#include <QByteArray>
#include <QHash>
#include <QImage>
#include <string>

#include "panel/LcdCanvas.h"

namespace kaldor::test {

class LcdReader {
public:
    LcdReader() {
        TLcdCanvas ref;
        ref.InitLcd(nullptr);
        auto learn = [&](unsigned char ch) {
            for (bool inverse : {false, true}) {
                ref.LcdTextOut(0, 0, inverse, std::string(1, static_cast<char>(ch)));
                glyphs_.insert(Key(ref.Image(), 0, 0), {static_cast<char>(ch), inverse});
            }
        };
        for (unsigned ch = 0x20; ch < 0x7F; ++ch) learn(static_cast<unsigned char>(ch));
        learn(0xB0);
    }

    // len cells of a row from column col; with inverseMask, '#' marks an inverse cell.
    std::string Text(const QImage& img, int row, int col = 0, int len = 40) const {
        return Read(img, row, col, len, false);
    }
    std::string InverseMask(const QImage& img, int row, int col = 0, int len = 40) const {
        return Read(img, row, col, len, true);
    }

private:
    struct Glyph {
        char ch;
        bool inverse;
    };
    static QByteArray Key(const QImage& img, int col, int row) {
        const QImage cell = img.copy(TLcdCanvas::GridLeft + TLcdCanvas::CellWidth * col,
                                     TLcdCanvas::GridTop + TLcdCanvas::CellHeight * row,
                                     TLcdCanvas::CellWidth, TLcdCanvas::CellHeight)
                                .convertToFormat(QImage::Format_RGB32);
        QByteArray key;
        for (int y = 0; y < cell.height(); ++y)
            key.append(reinterpret_cast<const char*>(cell.constScanLine(y)), cell.width() * 4);
        return key;
    }
    std::string Read(const QImage& img, int row, int col, int len, bool mask) const {
        std::string out;
        for (int c = col; c < col + len; ++c) {
            const auto it = glyphs_.constFind(Key(img, c, row));
            if (it == glyphs_.constEnd())
                out += '?';
            else
                out += mask ? (it->inverse ? '#' : ' ') : it->ch;
        }
        return out;
    }
    QHash<QByteArray, Glyph> glyphs_;
};

} // namespace kaldor::test
