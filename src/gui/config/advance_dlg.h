#pragma once
// Settings - Advance: idle disconnect, blind dialling and the alternative access
// numbers. OK checks the fields and writes them into the configuration block;
// Cancel leaves the block alone.

#include "gui/common/setup_dialog.h"

#include <cstdint>
#include <memory>
#include <string>

class QLineEdit;
namespace Ui {
class CAdvanceDlg;
}

namespace varn {

class DeviceConfig;

class CAdvanceDlg : public SetupDialog {
    Q_OBJECT
  public:
    // Loads the dialog's values from the block.
    explicit CAdvanceDlg(DeviceConfig& config, QWidget* parent = nullptr);
    ~CAdvanceDlg() override;

    void accept() override;

  protected:
    void initDialog() override;
    // Focus to the idle minutes.
    void paintRule() override;

  private:
    void setAlternativesEnabled(bool enabled);

    DeviceConfig& config_;
    std::unique_ptr<Ui::CAdvanceDlg> ui_;
    std::uint8_t idleMinutes_ = 0;
    std::string alternative1_, alternative2_;
    std::uint32_t tries_ = 0;
};

} // namespace varn
