// The main frame: the start-up check and the two ways out.

#include "gui_test_support.h"

#include "gui/app/app_state.h"
#include "gui/app/main_frame.h"
#include "gui/common/reply_pump.h"
#include "gui/common/window_timers.h"

#include <QAction>
#include <QtTest>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// An endpoint on loopback high ports, so the frame has a real socket to watch.
varn::EndpointSettings loopbackSettings() {
    varn::EndpointSettings s;
    s.localPort = 0; // any free port
    s.devicePort = 9;
    s.broadcastAddress = htonl(0x7FFFFFFF);
    s.probeAddress = htonl(0x7FFFFFFF);
    return s;
}

// A shown frame over its own endpoint and link.
struct FrameRig : guitest::LinkRig {
    varn::UdpEndpoint endpoint{loopbackSettings(), ui};
    AppState app;
    CMainFrame frame{SetupContext{endpoint, link, config, test, state, app, ui}};

    bool show() {
        frame.show();
        return QTest::qWaitForWindowExposed(&frame);
    }
    void activate() {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&frame, &activate);
    }
};

// A port that reads what a real UDP socket holds.
class SocketPort : public varn::DatagramPort {
  public:
    int fd = -1;
    int sendDatagram(const std::uint8_t*, std::size_t, std::uint32_t) override { return 0; }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size, varn::DatagramInfo* info) override {
        const ssize_t n = recv(fd, buffer, size, MSG_DONTWAIT);
        if (n < 0) {
            return -1;
        }
        if (info != nullptr) {
            info->length = std::size_t(n);
        }
        return 0;
    }
};

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

    QStringList messages;

  private slots:
    void init() {
        messages.clear();
        setMessageBoxHook([this](const QString& text, QMessageBox::Icon) {
            messages << text;
            return int(QMessageBox::Ok);
        });
    }
    void cleanup() { setMessageBoxHook({}); }

    void exitAndCloseBoxTakeTheSamePath_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("&Exit") << true;
        QTest::newRow("close box") << false;
    }
    void exitAndCloseBoxTakeTheSamePath() {
        QFETCH(bool, fromMenu);
        FrameRig rig;
        QVERIFY(rig.show());
        varn::UdpEndpoint& endpoint = rig.endpoint;
        CMainFrame& frame = rig.frame;
        QCOMPARE(endpoint.openEndpoint(&frame), 0);
        QVERIFY(endpoint.socketHandle() >= 0);

        if (fromMenu) {
            QAction* exit = frame.action(CMainFrame::ID_EXIT);
            QVERIFY(exit != nullptr);
            QCOMPARE(exit->text(), QStringLiteral("&Exit"));
            exit->trigger();
        } else {
            frame.close();
        }
        QVERIFY(!frame.isVisible());
        QCOMPARE(endpoint.socketHandle(), -1);
        QCOMPARE(endpoint.endpointReady, 0);
        QVERIFY(messages.isEmpty());
    }

    void aHealthyFrameNeverQuits() {
        FrameRig rig;
        QVERIFY(rig.show());
        CMainFrame& frame = rig.frame;
        rig.app.firstListClosed = true;
        for (int i = 0; i < 3; ++i) {
            rig.activate();
            QCOMPARE(rig.app.notifyWindow, static_cast<varn::SocketWatcher*>(&frame));
            QVERIFY(frame.timers().isActive(CMainFrame::TIMER_STARTUP_CHECK));
            QCOMPARE(frame.timers().interval(CMainFrame::TIMER_STARTUP_CHECK), 500);
            QVERIFY(frame.timers().fire(CMainFrame::TIMER_STARTUP_CHECK));
            // The check fired once and stopped itself.
            QVERIFY(!frame.timers().isActive(CMainFrame::TIMER_STARTUP_CHECK));
            QVERIFY(frame.isVisible());
        }
    }

    void aFailedOpeningEndsTheProgramAfterTheFirstList() {
        FrameRig rig;
        QVERIFY(rig.show());
        varn::UdpEndpoint& endpoint = rig.endpoint;
        CMainFrame& frame = rig.frame;
        endpoint.socketError = 97; // as a failed opening leaves it

        // While the first Device List has not ended, the frame stays.
        rig.activate();
        QVERIFY(frame.timers().fire(CMainFrame::TIMER_STARTUP_CHECK));
        QVERIFY(frame.isVisible());

        rig.app.firstListClosed = true;
        rig.activate();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.isVisible(), 2000);
        QVERIFY(clock.elapsed() >= 450);
    }

    // A read notification dispatches the replies waiting, at most 32, and
    // stops when the socket is empty.
    void aNotificationDispatchesTheWaitingRepliesAFewAtATime() {
        const int in = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int out = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        auto closeBoth = qScopeGuard([&] {
            close(in);
            close(out);
        });
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        QCOMPARE(bind(in, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        QCOMPARE(getsockname(in, reinterpret_cast<sockaddr*>(&at), &length), 0);
        for (int i = 0; i < 40; ++i) {
            const guitest::Bytes d = guitest::discoveryReply(
                "AP" + std::to_string(i), guitest::addr(192, 168, 1, std::uint8_t(i + 1)));
            QCOMPARE(
                sendto(out, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&at), sizeof at),
                ssize_t(d.size()));
        }
        SocketPort port;
        port.fd = in;
        varn::DeviceConfig config;
        varn::SilentUserInterface ui;
        varn::Link link(port, config, ui);
        link.sendRequest(varn::kDiscover);
        dispatchWaitingReplies(link, in);
        QCOMPARE(link.devices().deviceCount(), kRepliesPerNotification);
        dispatchWaitingReplies(link, in);
        QCOMPARE(link.devices().deviceCount(), 40);
        dispatchWaitingReplies(link, in); // nothing waits: nothing happens
        QCOMPARE(link.devices().deviceCount(), 40);
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_main_frame.moc"

using namespace varn;
