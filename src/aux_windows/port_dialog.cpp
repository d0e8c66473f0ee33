#include "aux_windows/port_dialog.h"

#include "aux_windows/window_frame.h"
#include "platform/look.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace kr4720::aux_windows {
namespace {

using platform::twipsRect;

QPushButton* placeButton(QWidget* parent, const char* name, const QString& text,
                         const QRect& rect) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    // Neither is the default button, yet Enter presses the one that has the
    // focus, as on any dialog of the radio's home platform.
    button->setAutoDefault(true);
    button->setDefault(false);
    return button;
}

QRadioButton* placeOption(QWidget* parent, const char* name, const QString& text,
                          const QRect& rect) {
    auto* option = new QRadioButton(text, parent);
    option->setObjectName(QString::fromLatin1(name));
    option->setGeometry(rect);
    platform::setTextColor(option, platform::kRed);
    return option;
}

} // namespace

QPointer<PortDialog>& PortDialog::slot() {
    static QPointer<PortDialog> instance;
    return instance;
}

PortDialog* PortDialog::instance() {
    return openInstance(slot());
}

PortDialog* PortDialog::open(platform::SerialPort& port, std::function<bool()> transferRunning) {
    return openOrRaise(slot(), [&] { return new PortDialog(port, std::move(transferRunning)); });
}

PortDialog::PortDialog(platform::SerialPort& port, std::function<bool()> transferRunning)
    : port_(&port), transferRunning_(std::move(transferRunning)) {
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("选择端口"));
    setFont(platform::songFont(10.5));
    makeFixedDialog(this, 3000, 2790);

    // Created in tab order: OKButton, CancelButton, Option1, Option2.
    okButton_ =
        placeButton(this, "OKButton", QStringLiteral("确定"), twipsRect(240, 2010, 1170, 420));
    cancelButton_ =
        placeButton(this, "CancelButton", QStringLiteral("取消"), twipsRect(1590, 2010, 1170, 420));
    // Children of one parent with auto-exclusion: one group, at most one selected.
    option1_ =
        placeOption(this, "Option1", QStringLiteral(" COM1"), twipsRect(720, 780, 1800, 345));
    option2_ =
        placeOption(this, "Option2", QStringLiteral(" COM2"), twipsRect(720, 1260, 1800, 345));
    okButton_->setFocus();

    label1_ = new QLabel(QStringLiteral("请选择串行口:"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(twipsRect(360, 270, 2400, 315));
    platform::setTextColor(label1_, platform::kBlue);

    connect(okButton_, &QPushButton::clicked, this, &PortDialog::confirm);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
    load();
}

void PortDialog::load() {
    if (!port_) {
        return;
    }
    // The devices the two ports lead to now, for the user who wonders which
    // socket is which.
    const QList<platform::PortEntry> ports = platform::availablePortEntries();
    option1_->setToolTip(platform::portDeviceName(1, ports));
    option2_->setToolTip(platform::portDeviceName(2, ports));
    const int number = port_->portNumber();
    if (number == 1) {
        option1_->setChecked(true);
    } else if (number == 2) {
        option2_->setChecked(true);
    }
}

void PortDialog::confirm() {
    if (option1_->isChecked()) {
        switchTo(1, QStringLiteral("串行端口 1 已被使用 "));
    } else if (option2_->isChecked()) {
        switchTo(2, QStringLiteral("串行端口 2 已被使用， "));
    }
}

void PortDialog::switchTo(int portNumber, const QString& failureText) {
    if (!port_) {
        // The main window and its port are gone; there is nothing to switch.
        close();
        return;
    }
    if (port_->portNumber() == portNumber && port_->isOpen()) {
        close();
        return;
    }
    // Records meant for the radio must not go to another device.
    if (transferRunning_ && transferRunning_()) {
        platform::showMessage(this, platform::transferRunningMessage());
        return;
    }
    // OK on the current port reopens it (the cable was plugged back in). The
    // old port is not reopened on failure: the link stays closed on the new
    // number until a later switch or a restart.
    port_->close();
    if (!port_->setPortNumber(portNumber) || !port_->open()) {
        platform::showMessage(this,
                              {failureText, platform::portMessageTitle(),
                               platform::MessageIcon::Exclamation, port_->openFailureDetail()});
        return;
    }
    close();
}

} // namespace kr4720::aux_windows
