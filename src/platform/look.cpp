#include "platform/look.h"

#include <QComboBox>
#include <QEvent>
#include <QPalette>
#include <QWidget>

namespace kr4720::platform {
namespace {

const QString kKaiFamily = QStringLiteral("楷体_GB2312");
const QString kSongFamily = QStringLiteral("宋体");

// Swallows wheel events of the lists it watches while they lack the focus.
class WheelWithFocusOnly : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel) {
            const auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && !widget->hasFocus()) {
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// Qt takes the first installed face of each list. The lists are not checked
// against the installed fonts: enumerating every font would cost more
// start-up time than building the whole window.
void installFontSubstitutions() {
    QFont::insertSubstitutions(kKaiFamily,
                               {"KaiTi", "KaiTi_GB2312", "AR PL UKai CN", "AR PL UKai TW",
                                "AR PL KaitiM GB", "Noto Serif CJK SC", "WenQuanYi Zen Hei"});
    QFont::insertSubstitutions(kSongFamily, {"SimSun", "AR PL UMing CN", "AR PL UMing TW",
                                             "Noto Serif CJK SC", "WenQuanYi Zen Hei"});
}

QFont kaiFont(double pointSize) {
    QFont font(kKaiFamily);
    font.setPointSizeF(pointSize);
    return font;
}

QFont songFont(double pointSize) {
    QFont font(kSongFamily);
    font.setPointSizeF(pointSize);
    return font;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void takeWheelOnlyWithFocus(QComboBox* box) {
    // The default WheelFocus would let the wheel itself take the focus.
    box->setFocusPolicy(Qt::StrongFocus);
    box->installEventFilter(new WheelWithFocusOnly(box));
}

} // namespace kr4720::platform
