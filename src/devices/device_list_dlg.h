#pragma once
// Placeholder until the Device List dialog is built: opens the endpoint once.
#include <QDialog>

class CDeviceListDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CDeviceListDlg(QWidget* parent = nullptr);
};
