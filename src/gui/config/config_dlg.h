#pragma once
// Configuration Parameters: the editor of one appliance's settings. It edits the
// configuration block in place, opens the Advanced settings, password and login
// script editors and the self-test, and on Save sends the whole block and ends
// with OK once the appliance has acknowledged it. Cancel (also Escape and the
// close box) tells the appliance and ends with Cancel.

#include "config/config_buttons.h"
#include "config/field_rules.h"
#include "gui/common/request_wait.h"
#include "gui/common/setup_dialog.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QLineEdit;
namespace Ui {
class CConfigDlg;
}

namespace varn {

class DeviceConfig;
class Link;
class SelfTest;

class CConfigDlg : public SetupDialog {
    Q_OBJECT
  public:
    // Looks for the save's acknowledgement (every 300 ms, ten times).
    static constexpr int TIMER_SAVE = 1793;

    // Loads the dialog's values from the configuration block and the link's
    // firmware version.
    CConfigDlg(Link& link, DeviceConfig& config, SelfTest& selfTest, QWidget* parent = nullptr);
    ~CConfigDlg() override;

    // Ticks left for the save acknowledgement.
    std::int32_t saveTicksLeft() const { return saveTicksLeft_; }

    void reject() override;

  protected:
    // Fills the fields (their change handlers run as for typing) and sets the
    // buttons for the stored phone number and login mode.
    void initDialog() override;
    // Focus to the device name.
    void paintRule() override;
    void onTimer(int id) override;
    // The self-test's terminal buffer; false when it cannot be had.
    virtual bool obtainTerminalText();

  private:
    void onNameChanged();
    void onOctetChanged(int i);
    void onPhoneChanged();
    void onAccountChanged(ConfigField which, QLineEdit* field, int limit, QLineEdit* other);
    // Switches the buttons as the rules say for a change of one field.
    void applyButtonRules(const FieldChange& change);
    void onSave();
    void onSaveAnswered();
    void onSaveTimedOut();
    void onAdvance();
    void onSetPassword();
    void onLoginScript();
    void onVerify();
    // After a secondary editor ended with OK: Save enabled and the default.
    void editorAccepted(int result);
    void enableSave();
    void setSixButtonsEnabled(bool enabled);
    ConfigFields fieldTexts() const;

    Link& link_;
    DeviceConfig& config_;
    SelfTest& selfTest_;
    std::unique_ptr<Ui::CConfigDlg> ui_;
    // The opening fills the fields: that is not the user typing an account.
    bool filling_ = false;
    std::array<QLineEdit*, 4> octets_{};
    // The dialog values, loaded at construction and filled in at opening.
    ConfigFields values_;
    std::string firmwareVersion_;
    RequestWait saveWait_;
    std::int32_t saveTicksLeft_ = 0;
    // The octet field the focus just reached because the one before it got
    // three digits.
    int reachedByDigits_ = -1;
};

} // namespace varn
