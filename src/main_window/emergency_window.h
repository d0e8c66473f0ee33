#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace kr4720 {
class EmergencyCursor;
}

namespace kr4720::main_window {

// 紧急: shows the emergency channel and stores what the user confirms. One
// window at a time; it is destroyed when closed.
class EmergencyWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the window, loading it from the emergency row, or brings the open
    // one to the front as it is.
    static EmergencyWindow* open(EmergencyCursor& emergency);
    // After a read: the open window, if any, shows the emergency channel the
    // read stored, so that 确认 does not put back what the radio replaced.
    static void reloadIfOpen();

private:
    explicit EmergencyWindow(EmergencyCursor& emergency);
    void load();
    void confirm();

    EmergencyCursor& emergency_;
    QLineEdit* text1_;
    QLineEdit* text2_;
    QComboBox* combo1_;
};

} // namespace kr4720::main_window
