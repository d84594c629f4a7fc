#pragma once
// Watches the state of every appliance at once, polling by broadcast.

#include "gui/common/setup_dialog.h"
#include "link/request_plans.h"

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
    // Columns from the list's left edge, in dialog units, under their headings.
    static constexpr int kTabStopUnits = 110, kWanColumnUnits = 168, kSpeedColumnUnits = 218;

    CStatusMonitorDlg(Link& link, DevicesState& state, QWidget* parent = nullptr);
    ~CStatusMonitorDlg() override;

    QListWidget* list() const;

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
};

} // namespace varn
