#include "config/config_dlg.h"

#include "link/link.h"
#include "ui_config_dlg.h"

CConfigDlg::CConfigDlg(varn::Link& link, QWidget* parent)
    : SetupDialog(parent), link_(link), ui_(std::make_unique<Ui::CConfigDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CConfigDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CConfigDlg::reject);
}

CConfigDlg::~CConfigDlg() = default;
