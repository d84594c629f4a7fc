#pragma once
// Shared pieces of the dialog tests: a link over an in-memory port whose sends can
// be answered the way an appliance would, reply builders, a message recorder and
// a helper that acts inside a modal dialog without hanging the test on failure.

#include "app/message_box.h"
#include "config/device_config.h"
#include "core/fakes.h"
#include "devices/devices_state.h"
#include "link/link.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace guitest {

using varn::fakes::Bytes;

// A port that can answer requests: an answer queued while sending is dispatched
// from the event loop right after, as the main frame does on a socket notification.
class AnsweringPort : public varn::fakes::MemoryPort {
  public:
    // Called for every request sent; returns the replies to queue (maybe none).
    std::function<std::vector<Bytes>(const varn::fakes::SentDatagram&)> answer;
    varn::Link* link = nullptr;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        MemoryPort::sendDatagram(buffer, length, address);
        if (answer) {
            for (Bytes& reply : answer(sent.back())) {
                deliver(std::move(reply));
            }
        }
        return 0;
    }

    // Queues a datagram and dispatches it from the event loop.
    void deliver(Bytes datagram) {
        incoming.push_back(std::move(datagram));
        QTimer::singleShot(0, [this] {
            if (link != nullptr) {
                link->dispatchReply();
            }
        });
    }

    // Types of the requests sent so far, in order.
    std::vector<int> sentTypes() const {
        std::vector<int> types;
        for (const auto& d : sent) {
            types.push_back(d.data.size() > 6 ? d.data[6] : -1);
        }
        return types;
    }
    int count(int type) const {
        int n = 0;
        for (int t : sentTypes()) {
            n += t == type;
        }
        return n;
    }
};

inline std::uint32_t addr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return varn::makeAddress(a, b, c, d);
}

inline void putAddress(Bytes& d, std::size_t at, std::uint32_t address) {
    for (int i = 0; i < 4; ++i) {
        d[at + std::size_t(i)] = varn::addressOctet(address, i);
    }
}

inline void putText(Bytes& d, std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), d.begin() + std::ptrdiff_t(at));
}

// Discovery reply: name, address, state, and the address we are told is ours.
inline Bytes discoveryReply(const std::string& name, std::uint32_t address, std::uint8_t state = 0,
                            std::uint32_t local = 0) {
    Bytes d = varn::fakes::reply(varn::kDiscover, 29);
    putText(d, 8, name.substr(0, 12));
    putAddress(d, 20, address);
    d[24] = state;
    putAddress(d, 25, local);
    return d;
}

// Status reply 36.
inline Bytes statusReply(const std::string& name, std::uint8_t state, std::uint32_t wan = 0,
                         std::uint16_t speed = 0, std::uint8_t code = 0) {
    Bytes d = varn::fakes::reply(varn::kStatusPoll, 28);
    putText(d, 8, name.substr(0, 12));
    d[20] = state;
    d[21] = code;
    putAddress(d, 22, wan);
    varn::writeLe16(d.data() + 26, speed);
    return d;
}

// Configuration block reply 2.
inline Bytes configReply(const varn::DeviceConfig& config) {
    Bytes d = varn::fakes::reply(varn::kReadConfig, 8 + varn::DeviceConfig::kSize);
    std::copy(config.bytes.begin(), config.bytes.end(), d.begin() + 8);
    return d;
}

inline Bytes ack(int type, std::size_t length = 8) {
    return varn::fakes::reply(std::uint8_t(type), length);
}

// A link over an answering port, its configuration block and the devices state.
struct LinkRig : varn::fakes::LinkOver<AnsweringPort> {
    DevicesState state;

    explicit LinkRig(std::uint32_t local = addr(192, 168, 1, 10)) {
        port.link = &link;
        port.localAddress = local;
    }
};

// Records every message box and answers OK.
struct MessageRecorder {
    QStringList texts;
    std::vector<QMessageBox::Icon> icons;
    std::function<void(const QString&)> onMessage;

    MessageRecorder() {
        setMessageBoxHook([this](const QString& text, QMessageBox::Icon icon) {
            texts << text;
            icons.push_back(icon);
            if (onMessage) {
                onMessage(text);
            }
            return int(QMessageBox::Ok);
        });
    }
    ~MessageRecorder() { setMessageBoxHook({}); }
};

// Runs body inside the event loop of the next modal dialog of type T, once it is
// running. It polls from a timer rather than waiting in a loop of its own, so the
// dialog may open nested anywhere below. If body fails (or leaves the dialog
// open), the dialog is closed so that its exec() returns and the test can go on
// to report the failure. If no such dialog opens in time, the test fails and the
// open modal dialog, if any, is closed.
template <typename T> void whenModal(std::function<void(T*)> body, int timeoutMs = 5000) {
    auto* poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, body, timeoutMs] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if (clock->elapsed() > timeoutMs) {
                poll->stop();
                poll->deleteLater();
                if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    open->done(-1);
                }
                QFAIL("the expected dialog did not open");
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        QPointer<T> guarded = dialog;
        auto closeAnyway = qScopeGuard([guarded] {
            if (guarded && guarded->isVisible()) {
                guarded->done(-1);
            }
        });
        body(dialog);
    });
    poll->start(10);
}

} // namespace guitest
