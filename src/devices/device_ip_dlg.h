#pragma once
// Gives an appliance on another network a new LAN address by broadcast.

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>

class QLineEdit;
class WindowTimers;
namespace Ui {
class CDeviceIpDlg;
}
namespace varn {
class Link;
Link& theLink();
} // namespace varn

class CDeviceIpDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int TIMER_SET_IP = 3329;
    static constexpr int kSetIpWait = 1800; // ms for the appliance's answer

    // The fields open showing the link's targetAddress.
    explicit CDeviceIpDlg(varn::Link& link = varn::theLink(), QWidget* parent = nullptr);
    ~CDeviceIpDlg() override;

    // Re-applies the focus and the buttons' state, as every paint does.
    void applyPaint();

    QLineEdit* octetField(int i) const { return fields_[i]; }
    WindowTimers& timers() { return *timers_; }

    void accept() override;
    void reject() override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void onFieldChanged(int i);
    void onSave();
    void onTimer(int id);
    void setButtonsEnabled(bool enabled);

    varn::Link& link_;
    std::unique_ptr<Ui::CDeviceIpDlg> ui_;
    std::array<QLineEdit*, 4> fields_{};
    std::array<std::uint8_t, 4> octets_{};
    WindowTimers* timers_;
    bool painting_ = false;
};
