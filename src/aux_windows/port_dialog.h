#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QRadioButton;

namespace kr4720::platform {
class SerialPort;
}

namespace kr4720::aux_windows {

// Dialog: moves the radio link between COM1 and COM2. It keeps no state of
// its own: the port number and the open state belong to the serial port.
// Neither button is the window's default or cancel button, so it is a plain
// top-level widget rather than a QDialog, which would make one of them so.
class PortDialog : public QWidget {
    Q_OBJECT
public:
    // Creates the dialog, reading the port number, or brings the open one to
    // the front as it is. Modeless and without an owner. While
    // `transferRunning` says so, OK leaves the port alone and tells the user.
    static PortDialog* open(platform::SerialPort& port, std::function<bool()> transferRunning = {});
    // The open dialog, or nullptr.
    static PortDialog* instance();

private:
    PortDialog(platform::SerialPort& port, std::function<bool()> transferRunning);
    void load();
    void confirm();
    void switchTo(int portNumber, const QString& failureText);

    static QPointer<PortDialog>& slot();

    QPointer<platform::SerialPort> port_;
    std::function<bool()> transferRunning_;
    QLabel* label1_;
    QRadioButton* option1_;
    QRadioButton* option2_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

} // namespace kr4720::aux_windows
