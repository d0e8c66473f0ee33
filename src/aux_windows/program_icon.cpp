#include "aux_windows/program_icon.h"

#include <QIconEngine>
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

namespace {

// Draws the icon's pixmaps the first time someone asks for them. Where the
// platform shows no window icon (Wayland, offscreen) nobody does, and the six
// antialiased drawings stay out of the start-up.
class ProgramIconEngine : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size / scale, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new ProgramIconEngine(*this); }

private:
    const QIcon& icon() {
        if (icon_.isNull()) {
            for (int size : {16, 24, 32, 48, 64, 128}) {
                icon_.addPixmap(programPixmap(size));
            }
        }
        return icon_;
    }

    QIcon icon_;
};

} // namespace

QIcon programIcon() {
    return QIcon(new ProgramIconEngine);
}

} // namespace kr4720::aux_windows
