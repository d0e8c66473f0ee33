#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QWidget>

class QPushButton;

namespace kr4720::aux_windows {

// A window of fixed texts whose 确定 button (cmdOK) is both the default and
// the cancel button: Enter and Escape press it, and it closes the window.
class HelpWindow : public QWidget {
    Q_OBJECT
protected:
    HelpWindow() = default;
    QPushButton* placeCloseButton(const QRect& rect);
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* cmdOK_ = nullptr;
};

QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect,
                   const QFont& font, const QColor& color);

// A word-wrapping label laid out as the classic labels are: whole-pixel
// character widths and one em from line to line. Without this the Kai face's
// wider line spacing pushes the last lines of the instructions out of the
// label, and fractional widths move the breaks the blank runs are meant to make.
class WrappingLabel : public QLabel {
public:
    WrappingLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect,
                  const QFont& font, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Line1: a grey line over a white one of double width, the etched separator
// of a classic dialog.
class EtchedLine : public QWidget {
public:
    EtchedLine(QWidget* parent, int left, int top, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kr4720::aux_windows
