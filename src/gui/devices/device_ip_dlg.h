#pragma once
// Gives an appliance on another network a new LAN address by broadcast.

#include "gui/common/request_wait.h"
#include "gui/common/setup_dialog.h"
#include "link/request_plans.h"

#include <array>
#include <cstdint>
#include <memory>

class QLineEdit;
namespace Ui {
class CDeviceIpDlg;
}

namespace varn {

class DeviceConfig;
class Link;

class CDeviceIpDlg : public SetupDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_SET_IP = 3329;

    // The fields open showing the link's targetAddress as it is now.
    CDeviceIpDlg(Link& link, DeviceConfig& config, QWidget* parent = nullptr);
    ~CDeviceIpDlg() override;

    QLineEdit* octetField(int i) const { return fields_[i]; }

    void accept() override;
    void reject() override;

  protected:
    // Writes the four octets into their fields.
    void initDialog() override;
    // Focus to the first field; Save and Cancel enabled.
    void paintRule() override;
    void onTimer(int id) override;

  private:
    void onFieldChanged(int i);
    void onSave();
    void onAnswer(bool answered);
    void setButtonsEnabled(bool enabled);

    Link& link_;
    DeviceConfig& config_;
    std::unique_ptr<Ui::CDeviceIpDlg> ui_;
    std::array<QLineEdit*, 4> fields_{};
    std::array<std::uint8_t, 4> octets_{};
    RequestWait setIp_;
    std::int32_t looksLeft_ = 0;
    // The field the focus just reached because the one before it got three
    // digits: a "." typed there next belongs to that number and is dropped.
    int reachedByDigits_ = -1;
};

} // namespace varn
