#pragma once
// Small helpers for dialogs with edit fields: the 8-bit text of the appliance's
// fields, and what the handlers do to fields and buttons.

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <string>

namespace varn {

// The appliance's text is 8-bit: characters beyond Latin-1 become '?'.
inline std::string toDeviceText(const QString& text) {
    return text.toLatin1().toStdString();
}
inline QString fromDeviceText(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// Gives an edit the focus with its whole text selected, as tabbing into it does.
inline void focusAndSelect(QLineEdit* field) {
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
}

// Cuts a field's text to its first n characters, the caret at the end.
inline void cutText(QLineEdit* field, int n) {
    field->setText(field->text().left(n)); // setText leaves the caret at the end
}

// A field's limit is kept by its change handler: a character typed past it is
// cut again. True when that happened.
inline bool cutOneOver(QLineEdit* field, int limit) {
    if (field->text().size() != limit + 1) {
        return false;
    }
    cutText(field, limit);
    return true;
}

// Makes button the one Enter presses in its dialog.
inline void makeDefaultButton(QPushButton* button) {
    for (QPushButton* other : button->window()->findChildren<QPushButton*>()) {
        if (other != button) {
            other->setDefault(false);
        }
    }
    button->setDefault(true);
}

} // namespace varn
