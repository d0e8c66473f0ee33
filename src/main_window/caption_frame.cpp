#include "main_window/caption_frame.h"

#include <QFontMetrics>
#include <QPainter>

namespace kr4720::main_window {

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent)
    : QFrame(parent), caption_(caption) {
    setAccessibleName(caption);
}

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect box = rect().adjusted(0, metrics.height() / 2, -1, -1);
    // Etched: a dark line with a light one just inside it.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.adjusted(1, 1, 0, 0));

    const QRect text(6, 0, metrics.horizontalAdvance(caption_) + 4, metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignCenter, caption_);
}

} // namespace kr4720::main_window
