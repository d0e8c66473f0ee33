#include "platform/look.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QIconEngine>
#include <QPalette>
#include <QProxyStyle>
#include <QWidget>

#include <future>

#ifdef KR4720_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

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

// Asks the style for a standard icon the first time the icon is used.
class DeferredIconEngine : public QIconEngine {
public:
    DeferredIconEngine(const QStyle* style, QStyle::StandardPixmap which)
        : style_(style), which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIconEngine(style_, which_); }
    bool isNull() override { return false; }

private:
    const QIcon& icon() {
        if (icon_.isNull()) {
            icon_ = style_->standardIcon(which_);
        }
        return icon_;
    }

    const QStyle* style_;
    QStyle::StandardPixmap which_;
    QIcon icon_;
};

class ProgramStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton) {
            return QIcon(new DeferredIconEngine(baseStyle(), which));
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

std::shared_future<void>& fontConfigAhead() {
    static std::shared_future<void> loaded;
    return loaded;
}

// Qt's font list would start fontconfig a second time while the first start
// is still under way on its own thread.
void waitForFontConfig() {
    if (const std::shared_future<void> loaded = fontConfigAhead(); loaded.valid()) {
        loaded.wait();
    }
}

// The first installed face among a family and its substitutes, spelled as
// the font list spells it; the family itself when none is installed. A font
// asked for by an uninstalled name makes Qt sort every installed font for a
// fallback before it tries the substitutes, for each face and script drawn:
// nearly a tenth of the main window's start-up.
QString installedFace(const QString& family) {
    QStringList names = QFont::substitutes(family);
    names.prepend(family);
    waitForFontConfig();
    const QStringList installed = QFontDatabase::families();
    for (const QString& name : names) {
        for (const QString& face : installed) {
            if (face.compare(name, Qt::CaseInsensitive) == 0) {
                return face;
            }
        }
    }
    return family;
}

} // namespace

void installProgramStyle() {
    QApplication::setStyle(new ProgramStyle);
}

// The first installed face of each list is the one drawn. kaiFont and
// songFont look it up once, in the font list read ahead at start.
void installFontSubstitutions() {
    QFont::insertSubstitutions(kKaiFamily,
                               {"KaiTi", "KaiTi_GB2312", "AR PL UKai CN", "AR PL UKai TW",
                                "AR PL KaitiM GB", "Noto Serif CJK SC", "WenQuanYi Zen Hei"});
    QFont::insertSubstitutions(kSongFamily, {"SimSun", "AR PL UMing CN", "AR PL UMing TW",
                                             "Noto Serif CJK SC", "WenQuanYi Zen Hei"});
}

void readFontConfigAhead() {
#ifdef KR4720_FONTCONFIG
    fontConfigAhead() = std::async(std::launch::async, [] { FcInit(); }).share();
#endif
}

std::jthread readFontListAhead() {
    return std::jthread([] {
        waitForFontConfig();
        QFontDatabase::families();
    });
}

QFont kaiFont(double pointSize) {
    static const QString face = installedFace(kKaiFamily);
    QFont font(face);
    font.setPointSizeF(pointSize);
    return font;
}

QFont songFont(double pointSize) {
    static const QString face = installedFace(kSongFamily);
    QFont font(face);
    font.setPointSizeF(pointSize);
    return font;
}

bool chineseFontInstalled() {
    return !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
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
