#pragma once
// Numbered timers owned by one window, as the dialogs and the frame use them: each
// timer has a fixed id and interval, and its expiry handler stops it first.

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

class WindowTimers : public QObject {
  public:
    using Handler = std::function<void(int id)>;

    WindowTimers(QObject* owner, Handler onExpiry)
        : QObject(owner), onExpiry_(std::move(onExpiry)) {}

    // (Re)arms timer id; it keeps firing every interval until killed.
    void set(int id, int milliseconds) {
        QTimer*& timer = timers_[id];
        if (timer == nullptr) {
            timer = new QTimer(this);
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

    bool isActive(int id) const {
        auto it = timers_.find(id);
        return it != timers_.end() && it->second->isActive();
    }

    int interval(int id) const {
        auto it = timers_.find(id);
        return it != timers_.end() ? it->second->interval() : -1;
    }

  private:
    Handler onExpiry_;
    std::map<int, QTimer*> timers_;
};
