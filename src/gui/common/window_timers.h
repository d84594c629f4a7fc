#pragma once
// Numbered timers owned by one window, as the dialogs and the frame use them: each
// timer has a fixed id and interval, and its expiry handler stops it first.

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

namespace varn {

class WindowTimers : public QObject {
  public:
    using Handler = std::function<void(int id)>;

    WindowTimers(QObject* owner, Handler onExpiry)
        : QObject(owner), onExpiry_(std::move(onExpiry)) {}

    // (Re)arms timer id; it keeps firing every interval until killed. Precise:
    // the coarse default lets 300 or 3000 ms drift by up to 5 %.
    void set(int id, int milliseconds) {
        QTimer*& timer = timers_[id];
        if (timer == nullptr) {
            timer = new QTimer(this);
            timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(timer, &QTimer::timeout, this, [this, id] { onExpiry_(id); });
        }
        timer->start(milliseconds);
    }

    void kill(int id) {
        auto it = timers_.find(id);
        if (it != timers_.end()) {
            it->second->stop();
        }
    }

    void killAll() {
        for (auto& [id, timer] : timers_) {
            timer->stop();
        }
    }

    bool isActive(int id) const {
        auto it = timers_.find(id);
        return it != timers_.end() && it->second->isActive();
    }

    int interval(int id) const {
        auto it = timers_.find(id);
        return it != timers_.end() ? it->second->interval() : -1;
    }

    // Runs the expiry handler of an armed timer now, as if its interval had
    // passed (tests, which need not wait for it). False when it is not armed.
    bool fire(int id) {
        if (!isActive(id)) {
            return false;
        }
        onExpiry_(id);
        return true;
    }

  private:
    Handler onExpiry_;
    std::map<int, QTimer*> timers_;
};

} // namespace varn
