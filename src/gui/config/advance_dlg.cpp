#include "gui/config/advance_dlg.h"

#include "config/field_rules.h"
#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "protocol/device_config.h"
#include "ui_advance_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace varn {

CAdvanceDlg::CAdvanceDlg(DeviceConfig& config, QWidget* parent)
    : SetupDialog(parent), config_(config), ui_(std::make_unique<Ui::CAdvanceDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    idleMinutes_ = config_.idleMinutes();
    alternative1_ = config_.alternativeNumber(1);
    alternative2_ = config_.alternativeNumber(2);
    tries_ = config_.alternativeTries();

    connect(ui_->id1, &QPushButton::clicked, this, &CAdvanceDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CAdvanceDlg::reject);
    connect(ui_->id1130, &QRadioButton::clicked, this, [this] { setAlternativesEnabled(false); });
    connect(ui_->id1125, &QRadioButton::clicked, this, [this] { setAlternativesEnabled(true); });
}

CAdvanceDlg::~CAdvanceDlg() = default;

void CAdvanceDlg::initDialog() {
    // Typing is held to 15 characters; a longer number the appliance stored
    // shows whole, and OK's check refuses it.
    const int limit = int(kAlternativeNumberMaxText);
    ui_->id1123->setValidator(new TypingLimit(limit, ui_->id1123));
    ui_->id1124->setValidator(new TypingLimit(limit, ui_->id1124));
    ui_->id1029->setText(QString::number(idleMinutes_));
    ui_->id1124->setText(fromDeviceText(alternative2_));
    ui_->id1123->setText(fromDeviceText(alternative1_));
    ui_->id1126->setText(QString::number(tries_));

    ui_->id1127->setChecked(config_.blindDial());
    const bool alternatives = config_.useAlternativeNumbers();
    (alternatives ? ui_->id1125 : ui_->id1130)->setChecked(true);
    setAlternativesEnabled(alternatives);
}

void CAdvanceDlg::paintRule() {
    giveFocus(ui_->id1029);
}

void CAdvanceDlg::setAlternativesEnabled(bool enabled) {
    ui_->id1123->setEnabled(enabled);
    ui_->id1124->setEnabled(enabled);
    ui_->id1126->setEnabled(enabled);
}

void CAdvanceDlg::accept() {
    AdvanceFields fields;
    fields.idleMinutes = toDeviceText(ui_->id1029->text());
    fields.alternative1 = toDeviceText(ui_->id1123->text());
    fields.alternative2 = toDeviceText(ui_->id1124->text());
    fields.tries = toDeviceText(ui_->id1126->text());
    fields.blindDial = ui_->id1127->isChecked();
    fields.useAlternativeNumbers = ui_->id1125->isChecked();

    const AdvanceCheck check = checkAdvanceFields(fields);
    QLineEdit* failed = nullptr;
    switch (check.failed) {
    case AdvanceCheck::IdleMinutes:
        failed = ui_->id1029;
        break;
    case AdvanceCheck::Alternative2:
        failed = ui_->id1124;
        break;
    case AdvanceCheck::Alternative1:
        failed = ui_->id1123;
        break;
    case AdvanceCheck::Tries:
        failed = ui_->id1126;
        break;
    case AdvanceCheck::None:
        break;
    }
    if (failed != nullptr) {
        showMessageBox(fromDeviceText(check.message), QMessageBox::Warning);
        focusAndSelect(failed);
        return;
    }
    storeAdvanceFields(config_, fields, check);
    SetupDialog::accept();
}

} // namespace varn
