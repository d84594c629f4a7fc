#include "gui/devices/device_ip_dlg.h"

#include "devices/octet_field.h"
#include "gui/common/field_support.h"
#include "gui/common/message_box.h"
#include "gui/common/window_timers.h"
#include "link/link.h"
#include "protocol/device_config.h"
#include "texts.h"
#include "ui_device_ip_dlg.h"

#include <QLineEdit>

namespace varn {

namespace {
const QString kInvalidAddress = QString::fromLatin1(texts::kInvalidAddress);
} // namespace

CDeviceIpDlg::CDeviceIpDlg(Link& link, DeviceConfig& config, QWidget* parent)
    : SetupDialog(parent), link_(link), config_(config), ui_(std::make_unique<Ui::CDeviceIpDlg>()),
      setIp_(timers(), TIMER_SET_IP, link, looksLeft_) {
    ui_->setupUi(this);
    finishSetup();
    fields_ = {ui_->id1087, ui_->id1088, ui_->id1089, ui_->id1090};
    for (int i = 0; i < 4; ++i) {
        octets_[i] = addressOctet(link_.targetAddress(), i);
        connect(fields_[i], &QLineEdit::textChanged, this, [this, i] { onFieldChanged(i); });
    }
    connect(ui_->id1, &QPushButton::clicked, this, &CDeviceIpDlg::onSave);
    connect(ui_->id2, &QPushButton::clicked, this, &CDeviceIpDlg::reject);
}

CDeviceIpDlg::~CDeviceIpDlg() = default;

void CDeviceIpDlg::initDialog() {
    // Filling the fields runs their change handling like typing does, which makes
    // Save the default button.
    for (int i = 0; i < 4; ++i) {
        fields_[i]->setText(QString::number(octets_[i]));
    }
    reachedByDigits_ = -1;
}

void CDeviceIpDlg::paintRule() {
    focusAndSelect(fields_[0]);
    setButtonsEnabled(true);
}

void CDeviceIpDlg::setButtonsEnabled(bool enabled) {
    ui_->id1->setEnabled(enabled);
    ui_->id2->setEnabled(enabled);
}

void CDeviceIpDlg::onFieldChanged(int i) {
    QLineEdit* field = fields_[i];
    const QString text = field->text();
    const OctetTyping typing = scanOctetTyping(toDeviceText(text.left(3)));
    const bool justReached = reachedByDigits_ == i;
    reachedByDigits_ = -1;
    if (typing.invalid) {
        showMessageBox(kInvalidAddress, QMessageBox::Warning);
        field->setText(text.left(typing.keep));
        return;
    }
    if (typing.loneDot && justReached) {
        // "192." typed in one go: the dot ends the number that moved us here.
        field->setText(QString());
        return;
    }
    if (typing.moveOn) {
        if (typing.cut) {
            field->setText(text.left(typing.keep));
        }
        // On to the next control in tab order: the next field, after the fourth Save.
        QWidget* next = i < 3 ? static_cast<QWidget*>(fields_[i + 1]) : ui_->id1;
        next->setFocus(Qt::TabFocusReason);
        if (i < 3) {
            fields_[i + 1]->selectAll();
            reachedByDigits_ = typing.cut ? -1 : i + 1;
        }
    }
    ui_->id2->setDefault(false);
    ui_->id1->setDefault(true);
}

void CDeviceIpDlg::onSave() {
    // Every field is checked before anything is stored or sent, fourth to first,
    // so that the rightmost bad field is the one reported.
    std::array<std::uint8_t, 4> octets{};
    for (int i = 3; i >= 0; --i) {
        const auto octet = wholeOctet(toDeviceText(fields_[i]->text().left(4)));
        if (!octet) {
            showMessageBox(kInvalidAddress, QMessageBox::Warning);
            focusAndSelect(fields_[i]);
            return;
        }
        octets[std::size_t(i)] = *octet;
    }
    DeviceConfig& config = config_;
    for (int i = 3; i >= 0; --i) {
        config.setLanIpOctet(i, octets[std::size_t(i)]);
    }
    setIp_.start(
        setIpPlan(), [this] { onAnswer(true); }, [this] { onAnswer(false); });
    setButtonsEnabled(false);
}

void CDeviceIpDlg::onTimer(int id) {
    setIp_.expire(id);
}

void CDeviceIpDlg::onAnswer(bool answered) {
    if (answered) {
        showMessageBox(QString::fromLatin1(texts::kAddressSaved), QMessageBox::Information);
    } else {
        showMessageBox(QString::fromLatin1(texts::kAddressNotSaved), QMessageBox::Information);
        setButtonsEnabled(true);
    }
    accept();
}

void CDeviceIpDlg::accept() {
    for (int i = 0; i < 4; ++i) {
        const auto octet = wholeOctet(toDeviceText(fields_[i]->text()));
        if (!octet) {
            showMessageBox(QString::fromLatin1(texts::kOctetRange), QMessageBox::Warning);
            // The dialog stays open; the buttons must work again to leave it.
            setButtonsEnabled(true);
            focusAndSelect(fields_[i]);
            return;
        }
        octets_[i] = *octet;
    }
    SetupDialog::accept();
}

void CDeviceIpDlg::reject() {
    // Escape and the close box count as Cancel, which is unavailable while the
    // appliance's answer is awaited.
    if (!ui_->id2->isEnabled()) {
        return;
    }
    setIp_.stop();
    SetupDialog::reject();
}

} // namespace varn
