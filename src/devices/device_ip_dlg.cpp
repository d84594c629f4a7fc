#include "devices/device_ip_dlg.h"

#include "app/message_box.h"
#include "app/window_timers.h"
#include "config/device_config.h"
#include "devices/dialog_support.h"
#include "link/link.h"
#include "ui_device_ip_dlg.h"

#include <QLineEdit>
#include <QPaintEvent>

namespace {
const QString kInvalidAddress = QStringLiteral("Invalid IP Address !");

// The number a field starts with (its leading digits); an empty field is 0.
int leadingNumber(const QString& text) {
    int value = 0;
    for (QChar c : text) {
        if (!c.isDigit() || c.unicode() > '9') {
            break;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// A whole number from 0 to 255, blanks around it allowed.
bool isOctet(const QString& text, std::uint8_t& value) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3) {
        return false;
    }
    int v = 0;
    for (QChar c : t) {
        if (c.unicode() < '0' || c.unicode() > '9') {
            return false;
        }
        v = v * 10 + (c.unicode() - '0');
    }
    if (v > 255) {
        return false;
    }
    value = std::uint8_t(v);
    return true;
}
} // namespace

CDeviceIpDlg::CDeviceIpDlg(varn::Link& link, QWidget* parent)
    : QDialog(parent), link_(link), ui_(std::make_unique<Ui::CDeviceIpDlg>()),
      timers_(new WindowTimers(this, [this](int id) { onTimer(id); })) {
    ui_->setupUi(this);
    setFixedSize(size());
    fields_ = {ui_->id1087, ui_->id1088, ui_->id1089, ui_->id1090};
    for (int i = 0; i < 4; ++i) {
        octets_[i] = varn::addressOctet(link_.targetAddress, i);
        connect(fields_[i], &QLineEdit::textChanged, this, [this, i] { onFieldChanged(i); });
    }
    connect(ui_->id1, &QPushButton::clicked, this, &CDeviceIpDlg::onSave);
    connect(ui_->id2, &QPushButton::clicked, this, &CDeviceIpDlg::reject);
    // Filling the fields runs their change handling like typing does, which makes
    // Save the default button.
    for (int i = 0; i < 4; ++i) {
        fields_[i]->setText(QString::number(octets_[i]));
    }
}

CDeviceIpDlg::~CDeviceIpDlg() = default;

void CDeviceIpDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (isOwnPaint(this, event)) {
        applyPaint();
    }
}

void CDeviceIpDlg::applyPaint() {
    if (painting_) {
        return;
    }
    painting_ = true;
    fields_[0]->setFocus(Qt::TabFocusReason);
    fields_[0]->selectAll();
    setButtonsEnabled(true);
    painting_ = false;
}

void CDeviceIpDlg::setButtonsEnabled(bool enabled) {
    ui_->id1->setEnabled(enabled);
    ui_->id2->setEnabled(enabled);
}

void CDeviceIpDlg::onFieldChanged(int i) {
    QLineEdit* field = fields_[i];
    const QString text = field->text().left(3);
    int scanned = 0;
    bool dot = false;
    for (; scanned < text.size(); ++scanned) {
        const QChar c = text[scanned];
        if (c == QLatin1Char('.')) {
            dot = true;
            break;
        }
        if (c.unicode() < '0' || c.unicode() > '9') {
            showMessageBox(kInvalidAddress, QMessageBox::Warning);
            field->setText(text.left(scanned));
            return;
        }
    }
    if (text.size() == 3 || dot) {
        if (dot) {
            field->setText(text.left(scanned));
        }
        // On to the next control in tab order: the next field, after the fourth Save.
        QWidget* next = i < 3 ? static_cast<QWidget*>(fields_[i + 1]) : ui_->id1;
        next->setFocus(Qt::TabFocusReason);
        if (i < 3) {
            fields_[i + 1]->selectAll();
        }
    }
    ui_->id2->setDefault(false);
    ui_->id1->setDefault(true);
}

void CDeviceIpDlg::onSave() {
    varn::DeviceConfig& config = link_.config();
    // Taken from the fourth field to the first; an octet is stored as soon as it
    // is read, so a failure leaves the octets right of it stored.
    for (int i = 3; i >= 0; --i) {
        const int value = leadingNumber(fields_[i]->text().left(4));
        if (value > 255) {
            showMessageBox(kInvalidAddress, QMessageBox::Warning);
            fields_[i]->setFocus(Qt::TabFocusReason);
            fields_[i]->selectAll();
            return;
        }
        config.setLanIpOctet(i, std::uint8_t(value));
    }
    link_.sendRequest(varn::kSetIpAddress);
    timers_->set(TIMER_SET_IP, kSetIpWait);
    setButtonsEnabled(false);
}

void CDeviceIpDlg::onTimer(int id) {
    if (id != TIMER_SET_IP) {
        return;
    }
    timers_->kill(TIMER_SET_IP);
    if (link_.awaitedReply == 0) {
        showMessageBox(QStringLiteral("LAN IP Address is saved successfully !"),
                       QMessageBox::Information);
    } else {
        showMessageBox(QStringLiteral("LAN IP Address is failed to save !"),
                       QMessageBox::Information);
        setButtonsEnabled(true);
    }
    accept();
}

void CDeviceIpDlg::accept() {
    for (int i = 0; i < 4; ++i) {
        std::uint8_t value = 0;
        if (!isOctet(fields_[i]->text(), value)) {
            showMessageBox(QStringLiteral("Please enter an integer between 0 and 255."),
                           QMessageBox::Warning);
            // The dialog stays open; the buttons must work again to leave it.
            setButtonsEnabled(true);
            fields_[i]->setFocus(Qt::TabFocusReason);
            fields_[i]->selectAll();
            return;
        }
        octets_[i] = value;
    }
    QDialog::accept();
}

void CDeviceIpDlg::reject() {
    // Escape and the close box count as Cancel, which is unavailable while the
    // appliance's answer is awaited.
    if (!ui_->id2->isEnabled()) {
        return;
    }
    timers_->kill(TIMER_SET_IP);
    QDialog::reject();
}
