#include "devices/device_list_dlg.h"

CDeviceListDlg::CDeviceListDlg(QWidget* parent) : QDialog(parent) {}
