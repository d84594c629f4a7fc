#include "gui/common/qt_user_interface.h"

#include "gui/common/message_box.h"

void QtUserInterface::showMessage(const std::string& text, varn::MessageIcon icon) {
    showMessageBox(QString::fromLatin1(text.c_str()), icon == varn::MessageIcon::Warning
                                                          ? QMessageBox::Warning
                                                          : QMessageBox::Information);
}
