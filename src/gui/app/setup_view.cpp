#include "gui/app/setup_view.h"

#include "devices/devices_state.h"
#include "protocol/endpoint.h"

#include <QPainter>
#include <QTimer>

// Outside any namespace: the resource initialiser is a global function.
static void initResourcesOnce() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

namespace varn {

void initSetupResources() {
    initResourcesOnce();
}

CSetupView::CSetupView(SetupContext context, QWidget* parent) : QWidget(parent), context_(context) {
    initSetupResources();
    firstList_.setSingleShot(true);
    connect(&firstList_, &QTimer::timeout, this, &CSetupView::runFirstDeviceList);
    runner_ = [this] {
        // The frame is the window that hears the socket; it may not have been
        // activated yet when the first paint comes.
        if (context_.app.notifyWindow == nullptr) {
            context_.app.notifyWindow = dynamic_cast<SocketWatcher*>(window());
        }
        runDeviceList(context_);
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
    if (!context_.devices.endpointOpened && !listPending_) {
        listPending_ = true;
        // The dialog runs its own loop; start it once this paint is done.
        firstList_.start(0);
    }
}

void CSetupView::runFirstDeviceList() {
    if (!context_.devices.endpointOpened) {
        runner_();
        context_.app.firstListClosed = true;
    }
    listPending_ = false;
}

} // namespace varn
