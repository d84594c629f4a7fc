// Every dialog template as laid out at the font the dialog uses here: no label's
// text touches another control.

#include "gui_test_support.h"

#include "gui/app/about_dlg.h"
#include "gui/config/advance_dlg.h"
#include "gui/config/config_dlg.h"
#include "gui/config/login_script_dlg.h"
#include "gui/config/password_dlg.h"
#include "gui/devices/admin_login_dlg.h"
#include "gui/devices/device_ip_dlg.h"
#include "gui/devices/device_list_dlg.h"
#include "gui/devices/status_monitor_dlg.h"
#include "gui/selftest/login_terminal_dlg.h"
#include "gui/selftest/practice_dlg.h"

#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QStyleOptionGroupBox>

using namespace guitest;

namespace {

// Pixels a label's text keeps clear of other controls, to the side and above
// or below.
constexpr int kClearX = 4, kClearY = 1;

// The rectangles a label's text covers, in dialog coordinates: from the first
// character's start to the last one's advance, and from the highest ink to the
// lowest. One per run of text between wider gaps of blanks (a field may stand
// in such a gap).
QList<QRect> textRects(const QLabel* label, const QWidget* dialog) {
    const QString text = label->text();
    if (text.isEmpty()) {
        return {};
    }
    const QFontMetrics metrics = label->fontMetrics();
    int flags = int(label->alignment()) | Qt::TextShowMnemonic;
    if (label->wordWrap()) {
        flags |= Qt::TextWordWrap;
    }
    QRect area = label->contentsRect();
    const int margin = label->margin();
    area.adjust(margin, margin, -margin, -margin);
    const QRect whole = metrics.boundingRect(area, flags, text);
    const QString shown = QString(text).remove('&');
    QList<QRect> rects;
    if (label->wordWrap()) {
        rects << whole;
    } else {
        // Runs of words one blank apart; blanks at their ends leave no ink.
        static const QRegularExpression runs(QStringLiteral("\\S+( \\S+)*"));
        const int baseline = whole.top() + metrics.ascent();
        for (auto it = runs.globalMatch(shown); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QRect ink = metrics.tightBoundingRect(m.captured());
            const int left =
                whole.left() + metrics.horizontalAdvance(shown.left(m.capturedStart()));
            rects << QRect(left, baseline + ink.top(), metrics.horizontalAdvance(m.captured()),
                           ink.height());
        }
    }
    for (QRect& r : rects) {
        r.translate(label->mapTo(dialog, QPoint(0, 0)));
    }
    return rects;
}

// What of a control another label must stay clear of: a group box's title, a
// label's text, the whole of anything else.
QList<QRect> occupied(const QWidget* control, const QWidget* dialog) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text().isEmpty()
                   ? QList<QRect>{QRect(control->mapTo(dialog, QPoint(0, 0)), control->size())}
                   : textRects(label, dialog);
    }
    QRect r(control->mapTo(dialog, QPoint(0, 0)), control->size());
    if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, box);
        return title.isEmpty() ? QList<QRect>{} : QList<QRect>{title.translated(r.topLeft())};
    }
    return {r};
}

// The template's own controls (Qt's inner widgets have no name or a "qt_" one).
QList<QWidget*> controls(QWidget* dialog) {
    QList<QWidget*> out;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") &&
            w->isVisibleTo(dialog)) {
            out << w;
        }
    }
    return out;
}

// Each label whose text comes nearer than that to another control, with both
// rectangles.
QStringList touchingLabels(QWidget* dialog) {
    QStringList found;
    const QList<QWidget*> all = controls(dialog);
    for (QWidget* w : all) {
        const auto* label = qobject_cast<QLabel*>(w);
        if (label == nullptr) {
            continue;
        }
        for (const QRect& text : textRects(label, dialog)) {
            const QRect near = text.adjusted(-kClearX, -kClearY, kClearX, kClearY);
            if (!dialog->rect().contains(text)) {
                found << QString("%1 %2: text outside the dialog")
                             .arg(dialog->objectName(), label->objectName());
            }
            for (QWidget* other : all) {
                if (other == w || other->isAncestorOf(w)) {
                    continue;
                }
                for (const QRect& r : occupied(other, dialog)) {
                    if (near.intersects(r)) {
                        found << QString("%1 %2 (%3,%4 %5x%6) touches %7 (%8,%9 %10x%11)")
                                     .arg(dialog->objectName(), label->objectName())
                                     .arg(text.x())
                                     .arg(text.y())
                                     .arg(text.width())
                                     .arg(text.height())
                                     .arg(other->objectName())
                                     .arg(r.x())
                                     .arg(r.y())
                                     .arg(r.width())
                                     .arg(r.height());
                    }
                }
            }
        }
    }
    return found;
}

// The <class> of every template in the source tree.
QStringList templateClasses() {
    QStringList classes;
    QDirIterator it(QStringLiteral(VARN_SOURCE_DIR "/src"), {"*.ui"}, QDir::Files,
                    QDirIterator::Subdirectories);
    static const QRegularExpression cls(QStringLiteral("<class>(\\w+)</class>"));
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly)) {
            classes << cls.match(QString::fromUtf8(file.readAll())).captured(1);
        }
    }
    return classes;
}

} // namespace

class TestDialogLayout : public QObject {
    Q_OBJECT

  private slots:
    void noLabelTouchesAnotherControl() {
        LinkRig rig;
        const EndpointAccess endpoint{[] { return 0; }, [] { return 0; }};
        std::vector<std::unique_ptr<QDialog>> dialogs;
        dialogs.emplace_back(new CAboutDlg);
        dialogs.emplace_back(new CAdvanceDlg(rig.config));
        dialogs.emplace_back(new CConfigDlg(rig.link, rig.config, rig.test));
        dialogs.emplace_back(new CLoginScriptDlg(rig.config));
        dialogs.emplace_back(new CPasswordDlg(rig.config));
        dialogs.emplace_back(new CAdminLoginDlg);
        dialogs.emplace_back(new CDeviceIpDlg(rig.link, rig.config));
        dialogs.emplace_back(
            new CDeviceListDlg(rig.link, rig.config, rig.test, rig.state, rig.ui, endpoint));
        dialogs.emplace_back(new CStatusMonitorDlg(rig.link, rig.state));
        dialogs.emplace_back(new CLoginTerminalDlg(rig.test));
        dialogs.emplace_back(new CPracticeDlg(rig.link, rig.test));

        QStringList tested;
        QStringList touching;
        for (const auto& d : dialogs) {
            tested << d->objectName();
            touching << touchingLabels(d.get());
        }
        for (const QString& cls : templateClasses()) {
            QVERIFY2(tested.contains(cls), qPrintable("template not checked: " + cls));
        }
        QVERIFY2(touching.isEmpty(), qPrintable(touching.join('\n')));
    }
};

QTEST_MAIN(TestDialogLayout)
#include "tst_dialog_layout.moc"
