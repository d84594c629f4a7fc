#pragma once
// Every message box of the program goes through showMessageBox, so that tests can
// observe and answer them without a screen.

#include <QMessageBox>
#include <QString>
#include <functional>

namespace varn {

// Shows a modal message box with an OK button; returns the button pressed.
int showMessageBox(const QString& text, QMessageBox::Icon icon);

// Replaces the real message box (tests). An empty hook restores the real one.
using MessageBoxHook = std::function<int(const QString& text, QMessageBox::Icon icon)>;
void setMessageBoxHook(MessageBoxHook hook);

} // namespace varn
