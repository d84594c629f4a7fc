#pragma once
// The view: paints the background picture and opens the Device List at its first paint.

#include <QWidget>

class CSetupView : public QWidget {
    Q_OBJECT
  public:
    explicit CSetupView(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void runFirstDeviceList();
    bool firstListStarted_ = false;
};
