#pragma once
// Login Script Manual Editing: up to four pairs of an ISP prompt and the text the
// appliance types after it. OK packs them into the configuration block.

#include "config/login_script.h"
#include "gui/common/setup_dialog.h"

#include <array>
#include <memory>

class QLineEdit;
namespace Ui {
class CLoginScriptDlg;
}

namespace varn {

class CLoginScriptDlg : public SetupDialog {
    Q_OBJECT
  public:
    // Loads the script of a block in terminal mode.
    explicit CLoginScriptDlg(DeviceConfig& config, QWidget* parent = nullptr);
    ~CLoginScriptDlg() override;

    QLineEdit* prompt(int row) const { return prompts_[std::size_t(row)]; }
    QLineEdit* response(int row) const { return responses_[std::size_t(row)]; }

    void accept() override;

  protected:
    void initDialog() override;
    // Focus to the first prompt.
    void paintRule() override;

  private:
    void onPromptChanged(int row);
    void onResponseChanged(int row);

    DeviceConfig& config_;
    std::unique_ptr<Ui::CLoginScriptDlg> ui_;
    std::array<QLineEdit*, 4> prompts_{};
    std::array<QLineEdit*, 4> responses_{};
    LoginScript script_;
};

} // namespace varn
