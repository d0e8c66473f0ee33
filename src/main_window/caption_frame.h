#pragma once

#include <QFrame>
#include <QString>

namespace kr4720::main_window {

// A frame with its caption on the top border, the way the date frame is
// drawn: an etched box whose top line runs through the middle of the caption,
// and the frame's whole inside free for its children at their own positions.
// (QGroupBox puts the caption above the box and moves the box down.)
class CaptionFrame : public QFrame {
    Q_OBJECT
public:
    CaptionFrame(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace kr4720::main_window
