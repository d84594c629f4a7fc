#include "gui/config/login_script_dlg.h"

#include "gui/common/field_support.h"
#include "ui_login_script_dlg.h"

#include <QLineEdit>

namespace varn {

CLoginScriptDlg::CLoginScriptDlg(DeviceConfig& config, QWidget* parent)
    : SetupDialog(parent), config_(config), ui_(std::make_unique<Ui::CLoginScriptDlg>()),
      script_(loadLoginScript(config)) {
    ui_->setupUi(this);
    finishSetup();
    prompts_ = {ui_->id1074, ui_->id1076, ui_->id1077, ui_->id1078};
    responses_ = {ui_->id1049, ui_->id1050, ui_->id1051, ui_->id1052};
    for (int row = 0; row < 4; ++row) {
        connect(prompts_[std::size_t(row)], &QLineEdit::textChanged, this,
                [this, row] { onPromptChanged(row); });
        connect(responses_[std::size_t(row)], &QLineEdit::textChanged, this,
                [this, row] { onResponseChanged(row); });
    }
    connect(ui_->id1, &QPushButton::clicked, this, &CLoginScriptDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CLoginScriptDlg::reject);
}

CLoginScriptDlg::~CLoginScriptDlg() = default;

void CLoginScriptDlg::initDialog() {
    for (std::size_t row = 0; row < 4; ++row) {
        prompts_[row]->setText(fromDeviceText(script_.prompts[row]));
        responses_[row]->setText(fromDeviceText(script_.responses[row]));
        prompts_[row]->setMaxLength(int(kScriptPromptMaxText));
        responses_[row]->setMaxLength(int(kScriptResponseMaxText));
    }
}

void CLoginScriptDlg::paintRule() {
    giveFocus(prompts_[0]);
}

void CLoginScriptDlg::onPromptChanged(int row) {
    cutOneOver(prompts_[std::size_t(row)], int(kScriptPromptMaxText));
}

void CLoginScriptDlg::onResponseChanged(int row) {
    // The four responses share the 48 bytes of the block's response area.
    std::array<std::size_t, 4> lengths{};
    for (std::size_t i = 0; i < 4; ++i) {
        lengths[i] = std::size_t(responses_[i]->text().size());
    }
    const std::size_t keep = responseKeep(lengths, std::size_t(row));
    if (keep < lengths[std::size_t(row)]) {
        cutText(responses_[std::size_t(row)], int(keep));
    }
}

void CLoginScriptDlg::accept() {
    LoginScript script;
    for (std::size_t row = 0; row < 4; ++row) {
        script.prompts[row] = toDeviceText(prompts_[row]->text());
        script.responses[row] = toDeviceText(responses_[row]->text());
    }
    storeLoginScript(config_, script);
    SetupDialog::accept();
}

} // namespace varn
