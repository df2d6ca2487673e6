#include "AppIcon.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orv::AppIcon {
namespace {

QPixmap draw(int size, const QColor& fill, const QColor& edge) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 16.0;
    const QRectF page(margin, margin, size - 2 * margin, size - 2 * margin);
    QPainterPath shape;
    shape.addRoundedRect(page, size / 6.0, size / 6.0);
    p.fillPath(shape, fill);
    p.setPen(QPen(edge, qMax(1.0, size / 32.0)));
    p.drawPath(shape);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(int(size * 0.7));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(page, Qt::AlignCenter, QStringLiteral("К"));
    return pixmap;
}

QIcon drawn(const QColor& fill, const QColor& edge) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(draw(size, fill, edge));
    }
    return icon;
}

} // namespace

QIcon program() {
    return drawn(QColor(0x2a, 0x5d, 0xa8), QColor(0x1b, 0x3f, 0x75));
}

QIcon friends() {
    return drawn(QColor(0xe0, 0x7a, 0x1f), QColor(0x9c, 0x50, 0x0c));
}

} // namespace orv::AppIcon
