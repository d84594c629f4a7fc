#pragma once
// Watches the state of every appliance at once, polling by broadcast.

#include <QDialog>
#include <memory>

class QListWidget;
class WindowTimers;
struct DevicesState;
DevicesState& devicesState();
namespace Ui {
class CStatusMonitorDlg;
}
namespace varn {
class Link;
Link& theLink();
} // namespace varn

class CStatusMonitorDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_STATUS_POLL = 9217;
    static constexpr int kFirstPoll = 300; // ms after opening
    static constexpr int kPollInterval = 3000;
    static constexpr int kTabStopUnits = 110;

    explicit CStatusMonitorDlg(varn::Link& link = varn::theLink(),
                               DevicesState& state = devicesState(), QWidget* parent = nullptr);
    ~CStatusMonitorDlg() override;

    // Rebuilds the list from the monitor table, as every paint does.
    void applyPaint();

    QListWidget* list() const;
    WindowTimers& timers() { return *timers_; }

    void done(int result) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void onTimer(int id);

    varn::Link& link_;
    DevicesState& state_;
    std::unique_ptr<Ui::CStatusMonitorDlg> ui_;
    WindowTimers* timers_;
    bool painting_ = false;
};
