#include "app/setup_view.h"

#include "app/app_state.h"
#include "devices/device_list_dlg.h"

#include <QTimer>

CSetupView::CSetupView(QWidget* parent) : QWidget(parent) {}

void CSetupView::paintEvent(QPaintEvent*) {
    if (!firstListStarted_) {
        firstListStarted_ = true;
        // The dialog runs its own loop; start it once this paint is done.
        QTimer::singleShot(0, this, &CSetupView::runFirstDeviceList);
    }
}

void CSetupView::runFirstDeviceList() {
    CDeviceListDlg dialog;
    dialog.exec();
    appState().firstListClosed = 1;
}
