#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace kr4720::main_window {

// A label that reacts to a click, as the "设置紧急信道" label does.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            emit clicked();
        }
        QLabel::mouseReleaseEvent(event);
    }
};

} // namespace kr4720::main_window
