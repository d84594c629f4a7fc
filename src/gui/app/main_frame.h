#pragma once
// The main window: receives the socket's read notifications, owns the start-up
// check and ends the program.

#include "gui/app/setup_context.h"
#include "protocol/endpoint.h"

#include <QMainWindow>

class QSocketNotifier;

namespace varn {

class WindowTimers;

class CMainFrame : public QMainWindow, public SocketWatcher {
    Q_OBJECT
  public:
    static constexpr int TIMER_STARTUP_CHECK = 2;
    static constexpr int kStartupCheckInterval = 500;
    // Command ids of the menu.
    static constexpr int ID_SETTING = 1016;
    static constexpr int ID_EXIT = 1;
    static constexpr int ID_APP_ABOUT = 57664;

    explicit CMainFrame(SetupContext context);
    ~CMainFrame() override;

    bool watchSocket(int fd) override;
    void unwatchSocket() override;

    // The menu's actions, by command id (tests trigger them).
    QAction* action(int commandId) const;
    WindowTimers& timers() { return *timers_; }

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void onTimer(int id);
    void onSetting();
    void onAbout();

    SetupContext context_;
    WindowTimers* timers_;
    QSocketNotifier* notifier_ = nullptr;
    bool shown_ = false;
};

} // namespace varn
