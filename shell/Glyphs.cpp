#include "Glyphs.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace kaldor {
namespace {

QPixmap Arrow(bool left, const QColor& colour) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    // Head 7 wide, shaft 4 high, pointing to the side.
    QPolygon head;
    if (left)
        head << QPoint(1, 8) << QPoint(8, 1) << QPoint(8, 15);
    else
        head << QPoint(14, 8) << QPoint(7, 1) << QPoint(7, 15);
    p.drawPolygon(head);
    p.drawRect(left ? QRect(8, 6, 6, 4) : QRect(2, 6, 6, 4));
    return pm;
}

QIcon MakeIcon(bool left) {
    QIcon icon;
    icon.addPixmap(Arrow(left, QColor(0, 0, 128)), QIcon::Normal);
    icon.addPixmap(Arrow(left, QColor(160, 160, 160)), QIcon::Disabled);
    return icon;
}

} // namespace

QIcon LeftArrowIcon() { return MakeIcon(true); }
QIcon RightArrowIcon() { return MakeIcon(false); }

} // namespace kaldor
