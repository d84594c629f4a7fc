#include "connect/practice_dlg.h"

#include "link/link.h"
#include "ui_practice_dlg.h"

CPracticeDlg::CPracticeDlg(varn::Link& link, QWidget* parent)
    : SetupDialog(parent), link_(link), ui_(std::make_unique<Ui::CPracticeDlg>()) {
    ui_->setupUi(this);
    finishSetup();
    connect(ui_->id1, &QPushButton::clicked, this, &CPracticeDlg::accept);
    connect(ui_->id2, &QPushButton::clicked, this, &CPracticeDlg::reject);
}

CPracticeDlg::~CPracticeDlg() = default;
