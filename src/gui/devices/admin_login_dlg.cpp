#include "gui/devices/admin_login_dlg.h"

#include "gui/common/field_support.h"
#include "ui_admin_login_dlg.h"

#include <QLineEdit>

namespace varn {

CAdminLoginDlg::CAdminLoginDlg(QWidget* parent)
    : SetupDialog(parent), ui_(std::make_unique<Ui::CAdminLoginDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1001, &QLineEdit::textChanged, this, &CAdminLoginDlg::onPasswordChanged);
    connect(ui_->id1, &QPushButton::clicked, this, &CAdminLoginDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CAdminLoginDlg::reject);
}

CAdminLoginDlg::~CAdminLoginDlg() = default;

void CAdminLoginDlg::showEvent(QShowEvent* event) {
    SetupDialog::showEvent(event);
    ui_->id1001->setFocus(Qt::OtherFocusReason);
}

void CAdminLoginDlg::onPasswordChanged(const QString& text) {
    // The field never keeps more than four characters, also when text is pasted.
    if (text.size() > kFieldLimit) {
        cutText(ui_->id1001, kFieldLimit);
    }
}

void CAdminLoginDlg::accept() {
    const QString typed = ui_->id1001->text().left(kPasswordLimit);
    enteredPassword = typed.toLatin1().toStdString();
    // A character outside Latin-1 must not pass for the '?' it would become.
    for (QChar c : typed) {
        if (c.unicode() > 0xFF) {
            enteredPassword.assign(1, '\0');
            break;
        }
    }
    SetupDialog::accept();
}

PasswordPrompt adminLoginPrompt() {
    return [](std::string& entered) {
        CAdminLoginDlg dialog;
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        entered = dialog.enteredPassword;
        return true;
    };
}

} // namespace varn
