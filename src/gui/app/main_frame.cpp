#include "gui/app/main_frame.h"

#include "gui/app/about_dlg.h"
#include "gui/common/reply_pump.h"
#include "gui/common/window_timers.h"
#include "link/link.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QSocketNotifier>

namespace varn {

CMainFrame::CMainFrame(SetupContext context)
    : context_(context), timers_(new WindowTimers(this, [this](int id) { onTimer(id); })) {
    QMenu* config = menuBar()->addMenu(tr("&Config"));
    QAction* setting = config->addAction(tr("&Setting"), this, &CMainFrame::onSetting);
    setting->setData(ID_SETTING);
    QAction* exit = config->addAction(tr("&Exit"), this, &QWidget::close);
    exit->setData(ID_EXIT);
    QMenu* about = menuBar()->addMenu(tr("&About"));
    QAction* aboutSetup = about->addAction(tr("&About Setup..."), this, &CMainFrame::onAbout);
    aboutSetup->setData(ID_APP_ABOUT);
}

CMainFrame::~CMainFrame() {
    if (context_.app.notifyWindow == this) {
        context_.app.notifyWindow = nullptr;
    }
}

QAction* CMainFrame::action(int commandId) const {
    for (QAction* a : findChildren<QAction*>()) {
        if (a->data().toInt() == commandId && !a->menu()) {
            return a;
        }
    }
    return nullptr;
}

bool CMainFrame::watchSocket(int fd) {
    unwatchSocket();
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    // A few dispatches per notification; the notifier fires again while more are queued.
    connect(notifier_, &QSocketNotifier::activated, this,
            [this, fd] { dispatchWaitingReplies(context_.link, fd); });
    return notifier_->isValid();
}

void CMainFrame::unwatchSocket() {
    delete notifier_;
    notifier_ = nullptr;
}

bool CMainFrame::event(QEvent* e) {
    bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate) {
        context_.app.notifyWindow = this;
        timers_->set(TIMER_STARTUP_CHECK, kStartupCheckInterval);
    }
    return handled;
}

void CMainFrame::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shown_) {
        shown_ = true;
        setGeometry(0, 0, 1024, 768);
        showMaximized();
    }
}

void CMainFrame::onTimer(int id) {
    if (id != TIMER_STARTUP_CHECK) {
        return;
    }
    // Fires once per activation: the program ends here when the network could
    // not be opened and the user has seen the Device List's message.
    timers_->kill(TIMER_STARTUP_CHECK);
    if (context_.endpoint.socketError != 0 && context_.app.firstListClosed) {
        close();
    }
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // "&Exit" and the close box both come here.
    context_.endpoint.closeEndpoint();
    QMainWindow::closeEvent(e);
}

void CMainFrame::onSetting() {
    runDeviceList(context_);
}

void CMainFrame::onAbout() {
    CAboutDlg dialog;
    dialog.exec();
}

} // namespace varn
