#include "gui/common/qt_user_interface.h"

#include "gui/common/message_box.h"

namespace varn {

void QtUserInterface::showMessage(const std::string& text, MessageIcon icon) {
    showMessageBox(QString::fromLatin1(text.c_str()),
                   icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information);
}

} // namespace varn
