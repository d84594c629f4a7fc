#include "app/setup_view.h"

#include "app/app_state.h"
#include "devices/device_list_dlg.h"
#include "devices/devices_state.h"
#include "link/endpoint.h"

#include <QPainter>
#include <QTimer>

void initSetupResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

CSetupView::CSetupView(QWidget* parent) : QWidget(parent), state_(&devicesState()) {
    initSetupResources();
    runner_ = [this] {
        // The frame is the window that hears the socket; it may not have been
        // activated yet when the first paint comes.
        if (appState().notifyWindow == nullptr) {
            appState().notifyWindow = dynamic_cast<varn::SocketWatcher*>(window());
        }
        CDeviceListDlg dialog;
        dialog.exec();
    };
}

void CSetupView::paintEvent(QPaintEvent*) {
    const QRect client = rect();
    if (client.width() > 0 && client.height() > 0) {
        const QPixmap picture(QStringLiteral(":/bitmap/%1").arg(IDB_BACKGROUND));
        const int height = client.height() - kUnpaintedBottom;
        if (height > 0 && !picture.isNull()) {
            QPainter painter(this);
            painter.drawPixmap(QRect(0, 0, client.width(), height), picture,
                               QRect(0, 0, kPictureWidth, kPictureHeight));
        }
    }
    if (state_->endpointOpened == 0 && !listPending_) {
        listPending_ = true;
        // The dialog runs its own loop; start it once this paint is done.
        QTimer::singleShot(0, this, &CSetupView::runFirstDeviceList);
    }
}

void CSetupView::runFirstDeviceList() {
    if (state_->endpointOpened == 0) {
        runner_();
        appState().firstListClosed = 1;
    }
    listPending_ = false;
}
