#pragma once
// Small helpers for dialogs with edit fields: the 8-bit text of the appliance's
// fields, and what the handlers do to fields and buttons.

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QValidator>
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

// Gives an edit the focus and nothing more: a painting rule runs again at any
// repaint, and selecting the text there would let the next key replace what
// the user had typed.
inline void giveFocus(QLineEdit* field) {
    field->setFocus(Qt::OtherFocusReason);
}

// Keeps what is typed or pasted within n characters, as a field's limit does,
// without cutting a longer text that the program puts there (setText is not
// validated), so that a stored text shows whole and its check can refuse it.
class TypingLimit : public QValidator {
  public:
    TypingLimit(int n, QObject* parent) : QValidator(parent), n_(n) {}
    State validate(QString& input, int&) const override {
        return input.size() > n_ ? Invalid : Acceptable;
    }

  private:
    int n_;
};

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
