#include "devices/admin_login_dlg.h"

#include "app/message_box.h"
#include "config/device_config.h"
#include "devices/password_cache.h"
#include "ui_admin_login_dlg.h"

#include <QLineEdit>

CAdminLoginDlg::CAdminLoginDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CAdminLoginDlg>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    connect(ui_->id1001, &QLineEdit::textChanged, this, &CAdminLoginDlg::onPasswordChanged);
    connect(ui_->id1, &QPushButton::clicked, this, &CAdminLoginDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CAdminLoginDlg::reject);
}

CAdminLoginDlg::~CAdminLoginDlg() = default;

void CAdminLoginDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui_->id1001->setFocus(Qt::OtherFocusReason);
}

void CAdminLoginDlg::onPasswordChanged(const QString& text) {
    // The field never keeps more than four characters, also when text is pasted.
    if (text.size() > kFieldLimit) {
        ui_->id1001->setText(text.left(kFieldLimit));
        ui_->id1001->setCursorPosition(kFieldLimit);
    }
}

void CAdminLoginDlg::accept() {
    enteredPassword = ui_->id1001->text().left(kPasswordLimit).toLatin1().toStdString();
    // A character outside Latin-1 must not pass for the '?' it would become.
    for (QChar c : ui_->id1001->text().left(kPasswordLimit)) {
        if (c.unicode() > 0xFF) {
            enteredPassword.assign(1, '\0');
            break;
        }
    }
    QDialog::accept();
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

int loginCheck(const varn::DeviceConfig& config, PasswordCache& cache,
               const PasswordPrompt& prompt) {
    const std::string name = config.deviceName();
    if (cache.granted(name)) {
        return 0;
    }
    const std::string password = config.devicePassword(); // at most 4 characters
    if (password.empty()) {
        return 0; // no password: granted every time, never cached
    }
    std::string entered;
    if (!prompt(entered)) {
        return -1;
    }
    if (entered != password) {
        showMessageBox(QStringLiteral("Incorrect Password !"), QMessageBox::Warning);
        return -1;
    }
    cache.add(name);
    return 0;
}
