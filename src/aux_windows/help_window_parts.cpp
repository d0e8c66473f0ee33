#include "aux_windows/help_window_parts.h"

#include "platform/look.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>

namespace kr4720::aux_windows {

QPushButton* HelpWindow::placeCloseButton(const QRect& rect) {
    cmdOK_ = new QPushButton(QStringLiteral("确定"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(rect);
    cmdOK_->setDefault(true);
    cmdOK_->setFocus();
    connect(cmdOK_, &QPushButton::clicked, this, &QWidget::close);
    return cmdOK_;
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    // Keys no control took: Enter for the default button, Escape for the
    // cancel button, both cmdOK.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        if (cmdOK_ != nullptr && event->modifiers() == Qt::NoModifier) {
            cmdOK_->click();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect,
                   const QFont& font, const QColor& color) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    // Plain text keeps every blank and quote as it stands.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setGeometry(rect);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::setTextColor(label, color);
    return label;
}

WrappingLabel::WrappingLabel(QWidget* parent, const char* name, const QString& text,
                             const QRect& rect, const QFont& font, const QColor& color)
    : QLabel(parent) {
    setObjectName(QString::fromLatin1(name));
    setTextFormat(Qt::PlainText);
    setText(text);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setGeometry(rect);
    QFont wholePixels = font;
    wholePixels.setHintingPreference(QFont::PreferFullHinting);
    setFont(wholePixels);
    platform::setTextColor(this, color);
}

void WrappingLabel::paintEvent(QPaintEvent*) {
    QTextLayout layout(text(), font(), this);
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    const qreal lineStep = QFontInfo(font()).pixelSize();
    qreal top = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width());
        line.setPosition(QPointF(0, top));
        top += lineStep;
    }
    layout.endLayout();
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF(0, 0));
}

EtchedLine::EtchedLine(QWidget* parent, int left, int top, int width) : QWidget(parent) {
    setObjectName(QStringLiteral("Line1"));
    setGeometry(left, top, width, 2);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void EtchedLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(0, 0, width(), 2, Qt::white);
    painter.fillRect(0, 0, width(), 1, QColor(128, 128, 128));
}

} // namespace kr4720::aux_windows
