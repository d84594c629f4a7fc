#include "gui/config/config_dlg.h"

#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "gui/common/window_timers.h"
#include "gui/config/advance_dlg.h"
#include "gui/config/login_script_dlg.h"
#include "gui/config/password_dlg.h"
#include "gui/selftest/practice_dlg.h"
#include "link/link.h"
#include "link/request_plans.h"
#include "selftest/self_test.h"
#include "texts.h"
#include "ui_config_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <cstring>

namespace varn {

namespace {
// The fields' limits are the block's (varnctl's config set keeps to them too).
const int kNameLimit = int(DeviceConfig::kDeviceNameSize);
const int kPhoneLimit = int(DeviceConfig::kPhoneNumberSize);
const int kUserNameLimit = int(DeviceConfig::kPppUserNameSize);
const int kPasswordLimit = int(DeviceConfig::kPppPasswordMaxText);
const std::size_t kFirmwareVersionMax = 16;
} // namespace

CConfigDlg::CConfigDlg(Link& link, DeviceConfig& config, SelfTest& selfTest, QWidget* parent)
    : SetupDialog(parent), link_(link), config_(config), selfTest_(selfTest),
      ui_(std::make_unique<Ui::CConfigDlg>()),
      saveWait_(timers(), TIMER_SAVE, link, saveTicksLeft_) {
    ui_->setupUi(this);
    finishSetup();
    octets_ = {ui_->id1018, ui_->id1024, ui_->id1025, ui_->id1026};

    values_.deviceName = config.deviceName();
    firmwareVersion_ = link_.proxyFirmwareVersion().substr(0, kFirmwareVersionMax);
    for (int i = 0; i < 4; ++i) {
        values_.octets[std::size_t(i)] = std::to_string(config.lanIpOctet(i));
    }
    values_.phoneNumber = config.phoneNumber();
    if (config.inLoginMode(LoginMode::Ppp)) {
        values_.userName = config.pppUserName();
        values_.password = config.pppPassword();
    }

    connect(ui_->id1010, &QLineEdit::textChanged, this, &CConfigDlg::onNameChanged);
    for (int i = 0; i < 4; ++i) {
        connect(octets_[i], &QLineEdit::textChanged, this, [this, i] { onOctetChanged(i); });
    }
    connect(ui_->id1012, &QLineEdit::textChanged, this, &CConfigDlg::onPhoneChanged);
    connect(ui_->id1013, &QLineEdit::textChanged, this, [this] {
        onAccountChanged(ConfigField::UserName, ui_->id1013, kUserNameLimit, ui_->id1001);
    });
    connect(ui_->id1001, &QLineEdit::textChanged, this, [this] {
        onAccountChanged(ConfigField::Password, ui_->id1001, kPasswordLimit, ui_->id1013);
    });

    connect(ui_->id1050, &QPushButton::clicked, this, &CConfigDlg::onSave);
    connect(ui_->id2, &QPushButton::clicked, this, &CConfigDlg::reject);
    connect(ui_->id1009, &QPushButton::clicked, this, &CConfigDlg::onAdvance);
    connect(ui_->id1028, &QPushButton::clicked, this, &CConfigDlg::onSetPassword);
    connect(ui_->id1008, &QPushButton::clicked, this, &CConfigDlg::onVerify);
    connect(ui_->id1073, &QPushButton::clicked, this, &CConfigDlg::onLoginScript);
}

CConfigDlg::~CConfigDlg() = default;

void CConfigDlg::initDialog() {
    filling_ = true;
    ui_->id1010->setText(fromDeviceText(values_.deviceName));
    for (int i = 0; i < 4; ++i) {
        octets_[i]->setText(fromDeviceText(values_.octets[std::size_t(i)]));
    }
    ui_->id1012->setText(fromDeviceText(values_.phoneNumber));
    ui_->id1001->setText(fromDeviceText(values_.password));
    ui_->id1013->setText(fromDeviceText(values_.userName));
    ui_->id1111->setText(fromDeviceText(firmwareVersion_));
    ui_->id1010->setMaxLength(kNameLimit);
    ui_->id1012->setMaxLength(kPhoneLimit);
    ui_->id1013->setMaxLength(kUserNameLimit);
    ui_->id1001->setMaxLength(kPasswordLimit);
    reachedByDigits_ = -1;
    filling_ = false;

    const ConfigButtons opening = openingButtons(config_.bytes[DeviceConfig::kPhoneNumber] != 0,
                                                 config_.inLoginMode(LoginMode::Ppp));
    ui_->id1050->setEnabled(opening.save);
    ui_->id1008->setEnabled(opening.verify);
    ui_->id1073->setEnabled(opening.loginScript);
}

void CConfigDlg::paintRule() {
    giveFocus(ui_->id1010);
}

void CConfigDlg::enableSave() {
    ui_->id1050->setEnabled(true);
    makeDefaultButton(ui_->id1050);
}

void CConfigDlg::applyButtonRules(const FieldChange& change) {
    const ConfigButtons before{ui_->id1050->isEnabled(), ui_->id1008->isEnabled(),
                               ui_->id1073->isEnabled()};
    const ChangeEffect effect = fieldChanged(before, change);
    if (effect.pppMode && !filling_) {
        config_.setLoginMode(LoginMode::Ppp);
    }
    ui_->id1050->setEnabled(effect.buttons.save);
    ui_->id1008->setEnabled(effect.buttons.verify);
    ui_->id1073->setEnabled(effect.buttons.loginScript);
    switch (effect.buttons.makeDefault) {
    case ConfigButtons::Default::Save:
        makeDefaultButton(ui_->id1050);
        break;
    case ConfigButtons::Default::Verify:
        makeDefaultButton(ui_->id1008);
        break;
    case ConfigButtons::Default::Unchanged:
        break;
    }
}

void CConfigDlg::onNameChanged() {
    QLineEdit* name = ui_->id1010;
    applyButtonRules({ConfigField::Name, name->text().isEmpty()});
    cutOneOver(name, kNameLimit);
}

void CConfigDlg::onOctetChanged(int i) {
    applyButtonRules({ConfigField::Octet});
    QLineEdit* field = octets_[i];
    const bool justReached = reachedByDigits_ == i;
    reachedByDigits_ = -1;
    const OctetChange change = octetFieldChange(toDeviceText(field->text()), i, justReached);
    if (change.text) {
        field->setText(fromDeviceText(*change.text));
    }
    if (change.caretToEnd) {
        field->setCursorPosition(int(field->text().size()));
    }
    if (change.moveOn) {
        focusAndSelect(octets_[i + 1]);
        reachedByDigits_ = change.text ? -1 : i + 1;
    }
}

void CConfigDlg::onPhoneChanged() {
    QLineEdit* phone = ui_->id1012;
    applyButtonRules({ConfigField::Phone, phone->text().isEmpty()});
    cutOneOver(phone, kPhoneLimit);
}

void CConfigDlg::onAccountChanged(ConfigField which, QLineEdit* field, int limit,
                                  QLineEdit* other) {
    applyButtonRules({which, field->text().isEmpty(), int(field->text().size()) == limit + 1,
                      other->text().isEmpty()});
    cutOneOver(field, limit);
}

ConfigFields CConfigDlg::fieldTexts() const {
    ConfigFields fields;
    fields.deviceName = toDeviceText(ui_->id1010->text());
    for (int i = 0; i < 4; ++i) {
        fields.octets[std::size_t(i)] = toDeviceText(octets_[i]->text());
    }
    fields.phoneNumber = toDeviceText(ui_->id1012->text());
    fields.userName = toDeviceText(ui_->id1013->text());
    fields.password = toDeviceText(ui_->id1001->text());
    return fields;
}

void CConfigDlg::onSave() {
    const SaveResult result = storeConfigFields(config_, fieldTexts());
    switch (result.outcome) {
    case SaveResult::NeedAccount:
        showMessageBox(QString::fromLatin1(texts::kNeedAccount), QMessageBox::Warning);
        focusAndSelect(ui_->id1013);
        return;
    case SaveResult::BadOctet:
        showMessageBox(QString::fromLatin1(texts::kInvalidAddress), QMessageBox::Warning);
        focusAndSelect(octets_[result.octet]);
        return;
    case SaveResult::Stored:
        break;
    }
    // The write goes out once; only its acknowledgement ends the wait.
    saveWait_.start(
        saveConfigPlan(), [this] { onSaveAnswered(); }, [this] { onSaveTimedOut(); });
    setSixButtonsEnabled(false);
}

void CConfigDlg::onTimer(int id) {
    saveWait_.expire(id);
}

void CConfigDlg::onSaveAnswered() {
    accept();
}

void CConfigDlg::onSaveTimedOut() {
    showMessageBox(QString::fromLatin1(texts::kNotSaved), QMessageBox::Information);
    setSixButtonsEnabled(true);
}

void CConfigDlg::setSixButtonsEnabled(bool enabled) {
    for (QPushButton* b :
         {ui_->id1050, ui_->id2, ui_->id1009, ui_->id1008, ui_->id1073, ui_->id1028}) {
        b->setEnabled(enabled);
    }
}

void CConfigDlg::reject() {
    // Escape and the close box count as Cancel, which is unavailable while the
    // appliance's acknowledgement of a save is awaited: the block may be stored
    // there already.
    if (!ui_->id2->isEnabled()) {
        return;
    }
    saveWait_.stop();
    link_.sendRequest(kConfigCancelled);
    SetupDialog::reject();
}

void CConfigDlg::editorAccepted(int result) {
    if (result == Accepted) {
        enableSave();
    }
}

void CConfigDlg::onAdvance() {
    CAdvanceDlg dialog(config_);
    editorAccepted(dialog.exec());
}

void CConfigDlg::onSetPassword() {
    CPasswordDlg dialog(config_);
    editorAccepted(dialog.exec());
}

void CConfigDlg::onLoginScript() {
    CLoginScriptDlg dialog(config_);
    editorAccepted(dialog.exec());
}

bool CConfigDlg::obtainTerminalText() {
    return selfTest_.obtainTerminalText();
}

void CConfigDlg::onVerify() {
    storeVerifyFields(config_, fieldTexts());
    if (!obtainTerminalText()) {
        showMessageBox(QString::fromLatin1(texts::kTerminalMemoryFailed), QMessageBox::Warning);
        return;
    }
    {
        CPracticeDlg selfTest(link_, selfTest_);
        if (selfTest.exec() != Rejected) {
            enableSave();
        }
    }
    selfTest_.releaseTerminalText();
}

} // namespace varn
