#include "aux_windows/program_icon.h"

#include <QLinearGradient>
#include <QPainter>

namespace kr4720::aux_windows {

QPixmap programPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32 x 32 grid and scaled.
    painter.scale(size / 32.0, size / 32.0);

    // Antenna, then a knob beside it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRoundedRect(QRectF(9, 1, 3.5, 9), 1.5, 1.5);
    painter.drawRect(QRectF(17, 3.5, 4, 4));

    // Body.
    QLinearGradient body(6, 0, 26, 0);
    body.setColorAt(0, QColor(70, 74, 80));
    body.setColorAt(1, QColor(25, 27, 30));
    painter.setBrush(body);
    painter.setPen(QPen(QColor(10, 10, 10), 0.8));
    painter.drawRoundedRect(QRectF(6.5, 7, 19, 24), 3, 3);

    // Display.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 220, 120));
    painter.drawRoundedRect(QRectF(9, 10, 14, 6), 1, 1);
    painter.setBrush(QColor(30, 80, 30));
    painter.drawRect(QRectF(10.5, 12, 7, 2));

    // Keypad.
    painter.setBrush(QColor(200, 200, 205));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painter.drawRoundedRect(QRectF(9.5 + column * 4.5, 18.5 + row * 3.6, 3.4, 2.4), 0.6,
                                    0.6);
        }
    }

    // Transmit lamp.
    painter.setBrush(QColor(230, 30, 30));
    painter.drawEllipse(QPointF(22.5, 8.8), 1.1, 1.1);
    return pixmap;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(programPixmap(size));
    }
    return icon;
}

} // namespace kr4720::aux_windows
