#include "gui/config/password_dlg.h"

#include "config/field_rules.h"
#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "protocol/device_config.h"
#include "ui_password_dlg.h"

#include <QEvent>
#include <QLineEdit>

namespace varn {

namespace {
const int kPasswordLimit = int(DeviceConfig::kDevicePasswordSize);
} // namespace

CPasswordDlg::CPasswordDlg(DeviceConfig& config, QWidget* parent)
    : SetupDialog(parent), config_(config), ui_(std::make_unique<Ui::CPasswordDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    for (QLineEdit* field : {ui_->id1019, ui_->id1022, ui_->id1023}) {
        connect(field, &QLineEdit::textChanged, this,
                [field] { cutOneOver(field, kPasswordLimit); });
    }
    ui_->id1022->installEventFilter(this);
    connect(ui_->id1, &QPushButton::clicked, this, &CPasswordDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CPasswordDlg::reject);
}

CPasswordDlg::~CPasswordDlg() = default;

void CPasswordDlg::initDialog() {
    // The confirmation is held to 4 by its change handler alone.
    ui_->id1019->setMaxLength(kPasswordLimit);
    ui_->id1022->setMaxLength(kPasswordLimit);
}

void CPasswordDlg::paintRule() {
    giveFocus(ui_->id1019);
}

bool CPasswordDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->id1022 && event->type() == QEvent::FocusIn) {
        checkOldPassword();
    }
    return SetupDialog::eventFilter(watched, event);
}

void CPasswordDlg::checkOldPassword() {
    if (oldPasswordMatches(config_, toDeviceText(ui_->id1019->text()))) {
        oldPasswordVerified_ = true;
        return;
    }
    focusAndSelect(ui_->id1019);
    showMessageBox(QStringLiteral("VARN : Wrong password !"), QMessageBox::Warning);
}

void CPasswordDlg::accept() {
    if (!oldPasswordVerified_) {
        focusAndSelect(ui_->id1019);
        return;
    }
    const QString password = ui_->id1022->text();
    if (password != ui_->id1023->text()) {
        showMessageBox(QStringLiteral("VARN : New password mismatch !"), QMessageBox::Warning);
        focusAndSelect(ui_->id1022);
        return;
    }
    config_.setDevicePassword(toDeviceText(password));
    SetupDialog::accept();
}

} // namespace varn
