#include "gui/app/about_dlg.h"

#include "gui/app/setup_view.h"
#include "ui_about_dlg.h"

namespace varn {

CAboutDlg::CAboutDlg(QWidget* parent)
    : SetupDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
    initSetupResources();
    ui_->setupUi(this);
    finishSetup();
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/icon/2"))));
    connect(ui_->id1, &QPushButton::clicked, this, &CAboutDlg::accept);
}

CAboutDlg::~CAboutDlg() = default;

} // namespace varn
