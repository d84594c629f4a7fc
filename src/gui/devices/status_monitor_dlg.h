#pragma once
// Watches the state of every appliance at once, polling by broadcast.

#include "gui/common/setup_dialog.h"
#include "link/request_plans.h"

#include <QList>
#include <memory>

class QListWidget;
namespace Ui {
class CStatusMonitorDlg;
}

namespace varn {

struct DevicesState;
class Link;

class CStatusMonitorDlg : public SetupDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_STATUS_POLL = 9217;
    static constexpr int kFirstPoll = kStatusFirstRefresh; // ms after opening
    static constexpr int kPollInterval = kStatusRefreshInterval;
    // Pixels between two columns.
    static constexpr int kColumnGap = 8;

    CStatusMonitorDlg(Link& link, DevicesState& state, QWidget* parent = nullptr);
    ~CStatusMonitorDlg() override;

    QListWidget* list() const;
    // The left edges of the columns (name, state, WAN address, speed) in pixels
    // from the start of a line's text, and where the last one ends.
    const QList<int>& columns() const { return columns_; }

    void done(int result) override;

  protected:
    // Empties the table, polls, and arms the first refresh.
    void initDialog() override;
    // Rebuilds the list from the monitor table.
    void paintRule() override;
    void onTimer(int id) override;

  private:
    Link& link_;
    DevicesState& state_;
    std::unique_ptr<Ui::CStatusMonitorDlg> ui_;
    QList<int> columns_;
};

} // namespace varn
