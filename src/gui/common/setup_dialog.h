#pragma once
// What every dialog of the utility shares: a fixed size, numbered timers owned by
// the dialog, the painting rule (a paint of the dialog's own surface puts the
// focus where it belongs and refills lists, never re-entering itself), Enter on a
// focused push button pressing that button, Tab into a radio group landing on its
// checked button, and one initialisation that runs when the dialog is first shown.

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace varn {

class WindowTimers;

class SetupDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SetupDialog(QWidget* parent = nullptr);
    ~SetupDialog() override;

    // Runs the initialisation first; a dialog that ends itself there returns its
    // result without ever showing.
    int exec() override;
    // Ends the dialog, also from its initialisation; its timers end with it.
    void done(int result) override;

    // Applies the painting rule now, as every paint of the dialog itself does.
    void applyPaint();

    WindowTimers& timers() { return *timers_; }

    // A control by its template id (object name "id<N>").
    template <typename T = QWidget> T* control(int id) const {
        return findChild<T*>(QStringLiteral("id%1").arg(id));
    }
    QPushButton* button(int id) const { return control<QPushButton>(id); }
    QLineEdit* field(int id) const { return control<QLineEdit>(id); }

  protected:
    // Called by each dialog after setupUi.
    void finishSetup();

    // Once, when the dialog is first shown (before its modal loop runs).
    virtual void initDialog() {}
    // The painting rule: focus, list refill. Not re-entered.
    virtual void paintRule() {}
    // An expiry of one of the dialog's timers.
    virtual void onTimer(int id) { (void)id; }

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void ensureInitialised();

    WindowTimers* timers_;
    bool initialised_ = false;
    bool running_ = false;    // inside exec's loop
    bool endedEarly_ = false; // ended before the loop ran
    bool painting_ = false;
};

} // namespace varn
