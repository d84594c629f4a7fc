#include "app/qt_user_interface.h"

#include "app/message_box.h"

void QtUserInterface::showMessage(const std::string& text, varn::MessageIcon icon) {
    showMessageBox(QString::fromLatin1(text.c_str()), icon == varn::MessageIcon::Warning
                                                          ? QMessageBox::Warning
                                                          : QMessageBox::Information);
}

void QtUserInterface::setPracticeControl(int id, bool enabled) {
    if (practiceWindow_ != nullptr) {
        practiceWindow_->setControlEnabled(id, enabled);
    }
}

void QtUserInterface::setPracticeStatus(const std::string& text) {
    if (practiceWindow_ != nullptr) {
        practiceWindow_->setStatusText(QString::fromLatin1(text.c_str()));
    }
}

void QtUserInterface::startPracticeTimer(int id, int milliseconds) {
    if (practiceWindow_ != nullptr) {
        practiceWindow_->startTimer(id, milliseconds);
    }
}

bool QtUserInterface::runLoginTerminal() {
    return runner_ ? runner_() : false;
}

QtUserInterface& qtUserInterface() {
    static QtUserInterface instance;
    return instance;
}
