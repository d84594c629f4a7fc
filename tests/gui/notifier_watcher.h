#pragma once
// Dispatches one reply per read notification of the endpoint's socket, as the
// main frame does: what tests and the benchmark driver give the real endpoint
// when they run dialogs without the frame.

#include "link/endpoint.h"
#include "link/link.h"

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace guitest {

class NotifierWatcher : public varn::SocketWatcher {
  public:
    explicit NotifierWatcher(varn::Link& link) : link_(link) {}
    bool watchSocket(int fd) override {
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [this] { link_.dispatchReply(); });
        return notifier_->isValid();
    }
    void unwatchSocket() override { notifier_.reset(); }

  private:
    varn::Link& link_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace guitest
