#pragma once
// The utility's side over the real UDP endpoint, wired as runSetup wires it but
// without the main frame: what the tests over real sockets and the benchmark
// driver run the dialogs with.

#include "devices/devices_state.h"
#include "e2e/traffic.h"
#include "gui/common/qt_user_interface.h"
#include "gui/common/reply_pump.h"
#include "gui/devices/device_list_dlg.h"
#include "link/link.h"
#include "protocol/endpoint.h"
#include "selftest/self_test.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <memory>

using namespace varn;

namespace guitest {

// Dispatches the replies each read notification of the socket announces, as
// the main frame does.
class NotifierWatcher : public varn::SocketWatcher {
  public:
    explicit NotifierWatcher(varn::Link& link) : link_(link) {}
    bool watchSocket(int fd) override {
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [this, fd] { dispatchWaitingReplies(link_, fd); });
        return notifier_->isValid();
    }
    void unwatchSocket() override { notifier_.reset(); }

  private:
    varn::Link& link_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The Qt user interface, keeping each progress text of the self-test and
// counting the starts of its focus timer as they pass to the dialog.
class ProgressRecorder : public QtUserInterface {
  public:
    using QtUserInterface::QtUserInterface;
    QStringList statuses;
    int focusTimers = 0;
    void setSelfTestStatus(const std::string& text) override {
        statuses << QString::fromLatin1(text.c_str());
        QtUserInterface::setSelfTestStatus(text);
    }
    void startSelfTestTimer(int id, int milliseconds) override {
        ++focusTimers;
        QtUserInterface::startSelfTestTimer(id, milliseconds);
    }
};

// The process's instances as runSetup makes them; the endpoint opens when the
// first Device List does (or through `access`).
struct RealUtility {
    varn::SelfTestState selfTest;
    ProgressRecorder ui{selfTest};
    traffic::RecordingEndpoint endpoint;
    varn::DeviceConfig config;
    varn::Link link{endpoint, config, ui};
    varn::SelfTest test{link, selfTest, config, ui};
    NotifierWatcher watcher{link};
    DevicesState state;
    EndpointAccess access{[this] { return endpoint.openEndpoint(&watcher); },
                          [this] { return endpoint.socketError; }};

    explicit RealUtility(const varn::EndpointSettings& settings) : endpoint(settings, ui) {}
    ~RealUtility() { endpoint.closeEndpoint(); }
    RealUtility(const RealUtility&) = delete;
    RealUtility& operator=(const RealUtility&) = delete;
};

} // namespace guitest
