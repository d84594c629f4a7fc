#include "gui/common/message_box.h"

namespace varn {

namespace {
MessageBoxHook& hook() {
    static MessageBoxHook instance;
    return instance;
}
} // namespace

void setMessageBoxHook(MessageBoxHook h) {
    hook() = std::move(h);
}

int showMessageBox(const QString& text, QMessageBox::Icon icon) {
    if (hook()) {
        return hook()(text, icon);
    }
    // Message boxes of this program have no parent and the program's title.
    QMessageBox box(icon, QStringLiteral("VARN Setup"), text, QMessageBox::Ok);
    return box.exec();
}

} // namespace varn
