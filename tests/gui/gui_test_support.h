#pragma once
// Shared pieces of the dialog tests: a link over an in-memory port whose sends
// are answered the way an appliance would, a scripted appliance, reply
// builders, a message recorder, and scripts that act inside a modal dialog and
// must have run.

#include "core/fakes.h"
#include "devices/devices_state.h"
#include "gui/common/message_box.h"
#include "gui/common/qt_user_interface.h"
#include "link/link.h"
#include "protocol/device_config.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <source_location>

using namespace varn;

namespace guitest {

using varn::fakes::Bytes;

// A port that can answer requests: an answer queued while sending is dispatched
// from the event loop right after, as the main frame does on a socket notification.
class AnsweringPort : public varn::fakes::MemoryPort {
  public:
    // Called for every request sent; returns the replies to queue (maybe none).
    std::function<std::vector<Bytes>(const varn::fakes::SentDatagram&)> answer;
    // The sender the answers come from (0: unknown).
    std::uint32_t answerSource = 0;
    varn::Link* link = nullptr;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        MemoryPort::sendDatagram(buffer, length, address);
        if (answer) {
            for (Bytes& reply : answer(sent.back())) {
                deliver(std::move(reply), answerSource);
            }
        }
        return 0;
    }

    // Queues a datagram and dispatches it from the event loop (unless the port
    // is gone by then).
    void deliver(Bytes datagram, std::uint32_t source = 0) {
        queue(std::move(datagram), source);
        QTimer::singleShot(0, &alive_, [this] {
            if (link != nullptr) {
                link->dispatchReply();
            }
        });
    }

  private:
    QObject alive_;
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

// A dial (3) or login (4) result with its code.
inline Bytes resultReply(int type, std::uint8_t code) {
    Bytes d = varn::fakes::reply(std::uint8_t(type), 9);
    d[8] = code;
    return d;
}

// Terminal data (reply 5) as the ISP sent it.
inline Bytes terminalReply(const std::string& data) {
    Bytes d = varn::fakes::reply(varn::kTerminalResponse, 10);
    varn::writeLe16(d.data() + 8, std::uint16_t(data.size()));
    d.insert(d.end(), data.begin(), data.end());
    return d;
}

// A request went out and the appliance sent `reply`, as if nothing else had
// happened: the port keeps no record of the request.
inline void answered(varn::Link& link, varn::fakes::MemoryPort& port, int request,
                     const Bytes& reply) {
    const std::size_t sent = port.sent.size();
    link.sendRequest(request);
    port.sent.resize(sent);
    link.handleDatagram(reply.data(), reply.size());
}

// The link as it is after a firmware-versions reply with this text.
inline void receiveFirmwareVersion(varn::Link& link, varn::fakes::MemoryPort& port,
                                   const std::string& text) {
    Bytes d = varn::fakes::reply(varn::kVersions, 56);
    putText(d, 24, text.substr(0, 16));
    answered(link, port, varn::kVersions, d);
}

// The start of a PPP frame as it comes after a dial.
inline const std::string kPppFraming("\x7e\xff\x7d\x23\xc0\x21\x7d\x21", 8);

// A link over an answering port, its configuration block, the devices state and
// the Qt user interface (whose messages reach the message-box hook).
struct LinkRig : varn::fakes::LinkOver<AnsweringPort, QtUserInterface> {
    DevicesState state;

    explicit LinkRig(std::uint32_t local = addr(192, 168, 1, 10)) {
        port.link = &link;
        port.localAddress = local;
    }
};

// One appliance as the rig's port answers for it: discovery (every sweep, or the
// first only), firmware versions, its configuration block, acknowledgements.
struct ScriptedAppliance {
    std::string name = "AP";
    std::uint32_t address = addr(192, 168, 1, 20);
    varn::DeviceConfig block;
    bool everySweep = true;
    bool answersVersions = true;
    bool answersRead = true;
    // Replies to other requests, by type (acknowledged when absent and listed).
    std::vector<int> acknowledged = {varn::kSetIpAddress, varn::kWriteConfig};

    ScriptedAppliance() { block.setDeviceName("AP"); }

    void install(AnsweringPort& port) {
        port.answerSource = 0; // the block's sender is checked only when known
        port.answer = [this, &port](const varn::fakes::SentDatagram& d) {
            std::vector<Bytes> out;
            const int type = d.data[6];
            if (type == varn::kDiscover) {
                if (everySweep || port.count(varn::kDiscover) == 1) {
                    out.push_back(discoveryReply(name, address));
                }
            } else if (type == varn::kVersions && answersVersions) {
                out.push_back(ack(varn::kVersions, 56));
            } else if (type == varn::kReadConfig && answersRead) {
                out.push_back(configReply(block));
            } else if (std::find(acknowledged.begin(), acknowledged.end(), type) !=
                       acknowledged.end()) {
                out.push_back(ack(type));
            }
            return out;
        };
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

inline QString line(QListWidget* list, int i) {
    return list->item(i) != nullptr ? list->item(i)->text() : QString();
}

// The first line of the list that begins with name, or -1.
inline int rowOf(QListWidget* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().startsWith(name)) {
            return i;
        }
    }
    return -1;
}

// A script to run inside a modal dialog. Keep it until the dialog's exec()
// has returned: when it goes, its poller stops, and a script that never ran
// fails the test (so a dialog that never opened cannot pass unnoticed).
class [[nodiscard]] ModalScript {
  public:
    struct State {
        QTimer* poll = nullptr;
        bool ran = false;
        bool required = true; // a script that never ran fails the test
        std::source_location where;
    };
    explicit ModalScript(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ModalScript(ModalScript&&) = default;
    ~ModalScript() {
        if (!state_) {
            return;
        }
        delete state_->poll;
        state_->poll = nullptr;
        if (!state_->ran && state_->required) {
            QTest::qFail("the modal script never ran: its dialog did not open",
                         state_->where.file_name(), int(state_->where.line()));
        }
    }
    bool ran() const { return state_->ran; }

  private:
    std::shared_ptr<State> state_;
};

// Runs body inside the event loop of the next modal dialog of type T, once it is
// running. It polls from a timer rather than waiting in a loop of its own, so the
// dialog may open nested anywhere below. If body fails (or leaves the dialog
// open), the dialog is closed so that its exec() returns and the test goes on to
// report the failure. If no such dialog opens within timeoutMs, the open modal
// dialog, if any, is closed and the script never runs (a negative timeout waits
// without end, and a script that never runs is no failure: see ifModal).
template <typename T>
ModalScript whenModal(std::function<void(T*)> body, int timeoutMs = 5000,
                      std::source_location where = std::source_location::current()) {
    auto state = std::make_shared<ModalScript::State>();
    state->where = where;
    state->required = timeoutMs >= 0;
    state->poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    std::weak_ptr<ModalScript::State> weak = state;
    QObject::connect(state->poll, &QTimer::timeout, [weak, clock, body, timeoutMs] {
        auto s = weak.lock();
        if (!s || s->ran) {
            return;
        }
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if (timeoutMs >= 0 && clock->elapsed() > timeoutMs) {
                s->poll->stop();
                if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    open->done(-1);
                }
            }
            return;
        }
        s->poll->stop();
        s->ran = true;
        // Let the first paint apply the dialog's painting rule (focus, lists)
        // before the script looks at it.
        (void)QTest::qWaitForWindowExposed(dialog, 1000);
        QCoreApplication::processEvents();
        QPointer<T> guarded = dialog;
        auto closeAnyway = qScopeGuard([guarded] {
            if (guarded && guarded->isVisible()) {
                guarded->done(-1);
            }
        });
        body(dialog);
    });
    state->poll->start(10);
    return ModalScript(state);
}

// The same for a dialog that may or may not open (on a lossy network, say):
// the script runs if it does, for as long as the handle is kept.
template <typename T> ModalScript ifModal(std::function<void(T*)> body) {
    return whenModal<T>(std::move(body), -1);
}

} // namespace guitest
