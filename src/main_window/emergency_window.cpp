#include "main_window/emergency_window.h"

#include "aux_windows/window_frame.h"
#include "channel_data/channel_cursor.h"
#include "channel_data/data_error.h"
#include "platform/look.h"
#include "platform/message_box.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace kr4720::main_window {
namespace {

using platform::twipsRect;

QPointer<EmergencyWindow>& instance() {
    static QPointer<EmergencyWindow> window;
    return window;
}

QString textOf(const FieldValue& value) {
    return value ? QString::fromStdString(*value) : QString();
}

} // namespace

EmergencyWindow* EmergencyWindow::open(EmergencyCursor& emergency) {
    return aux_windows::openOrRaise(instance(), [&] {
        auto* window = new EmergencyWindow(emergency);
        window->load();
        return window;
    });
}

void EmergencyWindow::reloadIfOpen() {
    if (instance()) {
        instance()->load();
    }
}

EmergencyWindow::EmergencyWindow(EmergencyCursor& emergency)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      emergency_(emergency) {
    setObjectName(QStringLiteral("紧急"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("紧急信道"));
    setFixedSize(platform::twips(4440), platform::twips(3390));
    setFont(platform::kaiFont(14.25));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(background);

    const auto label = [this](const char* name, const char* text, QRect rect) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QString::fromUtf8(name));
        l->setGeometry(rect);
        platform::setTextColor(l, platform::kRed);
    };
    label("Label1", "收频率(MHz)：", twipsRect(600, 360, 2295, 360));
    label("Label2", "发频率(MHz)：", twipsRect(480, 960, 2175, 360));
    label("Label3", "拍频：", twipsRect(1200, 1560, 975, 360));

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(twipsRect(2520, 360, 1335, 360));
    text2_ = new QLineEdit(this);
    text2_->setObjectName(QStringLiteral("Text2"));
    text2_->setGeometry(twipsRect(2520, 960, 1335, 360));
    combo1_ = new QComboBox(this);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setGeometry(twipsRect(2640, 1560, 975, 405));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->addItems({QStringLiteral("off"), QStringLiteral("on")});

    auto* command1 = new QPushButton(QStringLiteral("  确认"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setGeometry(twipsRect(600, 2520, 1095, 375));
    auto* command2 = new QPushButton(QStringLiteral(" 撤消"), this);
    command2->setObjectName(QStringLiteral("Command2"));
    command2->setGeometry(twipsRect(2640, 2520, 1215, 375));
    connect(command1, &QPushButton::clicked, this, &EmergencyWindow::confirm);
    connect(command2, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(command1, command2);
    setTabOrder(command2, text1_);
    setTabOrder(text1_, text2_);
    setTabOrder(text2_, combo1_);
    command1->setFocus();
}

void EmergencyWindow::load() {
    try {
        text1_->setText(textOf(emergency_.field(0)));
        text2_->setText(textOf(emergency_.field(1)));
        combo1_->setEditText(textOf(emergency_.field(2)));
    } catch (const DataError&) {
        // Nothing to show; the boxes stay empty.
    }
}

void EmergencyWindow::confirm() {
    try {
        emergency_.Edit();
        emergency_.setField(0, text1_->text().toStdString());
        emergency_.setField(1, text2_->text().toStdString());
        emergency_.setField(2, combo1_->currentText().toStdString());
        emergency_.saveRecord();
    } catch (const DataError& error) {
        emergency_.MoveFirst();
        platform::showMessage(this, {QStringLiteral("数据库操作失败"), platform::dataErrorTitle(),
                                     platform::MessageIcon::Information,
                                     QString::fromStdString(error.what())});
        return;
    }
    close();
}

} // namespace kr4720::main_window
