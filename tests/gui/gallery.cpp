// dialog-gallery: renders every dialog against the appliance simulator's
// built-in appliances, each in a state a user meets, as PNG pictures; or
// renders them again and compares them with pictures made before.
//
//   dialog-gallery --out DIR                   writes DIR/<name>.png
//   dialog-gallery --compare DIR [--diff DIR2] exit 1 when a picture differs;
//                                              the new picture and a map of
//                                              what differs go to DIR2
//
// The same pixels on every run: the offscreen platform at 96 dpi, the Fusion
// style, the fonts of gallery-fonts.conf only (fonts-liberation, with fixed
// rendering options), no blinking caret, the simulator's fixed data, and each
// picture taken once its dialog has reached the state it shows.

#include "simulator_rig.h"

#include "gui/app/about_dlg.h"
#include "gui/app/setup_app.h"
#include "gui/app/setup_view.h"
#include "gui/common/window_timers.h"
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

#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QThread>
#include <cstdio>

using namespace guitest;

namespace {

// Two renderings are the same picture when they have the same size and no
// more than one pixel in kOddPixelsPer of them differs by more than
// kChannelSlack in a colour channel. The slack absorbs the grey levels in which
// another FreeType or Qt release may draw glyph edges, the few odd pixels a
// stray edge; a changed text, control or position changes far more (one
// letter less in a label: a dozen pixels beyond the slack).
constexpr int kChannelSlack = 64;
constexpr int kOddPixelsPer = 20000;

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// Lets timers and paints that are due run, for a settled picture.
void settle(int ms = 50) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The dialog as it stands on a screen: its window frame with the title, drawn
// the same way everywhere, around what the dialog paints.
QImage framed(QWidget* dialog) {
    const QImage content = dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int border = 3, title = 18;
    QImage out(content.width() + 2 * border, content.height() + title + 2 * border,
               QImage::Format_RGB32);
    out.fill(QColor(192, 192, 192));
    QPainter p(&out);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(out.rect().adjusted(0, 0, -1, -1));
    p.fillRect(border, border, content.width(), title, QColor(0, 0, 128));
    QFont font(QStringLiteral("Liberation Sans"), 9, QFont::Bold);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(border + 4, border, content.width() - 8, title),
               Qt::AlignLeft | Qt::AlignVCenter, dialog->windowTitle());
    p.drawImage(border, border + title, content);
    return out;
}

bool savePicture(const QImage& image, const QString& path) {
    QImageWriter writer(path, "png");
    writer.setCompression(100); // zlib's level 9 (the scale is 0..100)
    return writer.write(image);
}

// The pixels that differ beyond the slack, marked red on a faded copy.
int oddPixels(const QImage& a, const QImage& b, QImage* map) {
    *map = a.convertToFormat(QImage::Format_RGB32);
    int odd = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            if (d > kChannelSlack) {
                ++odd;
                map->setPixel(x, y, qRgb(255, 0, 0));
            } else {
                const int g = 160 + qGray(p) / 3;
                map->setPixel(x, y, qRgb(g, g, g));
            }
        }
    }
    return odd;
}

class Gallery {
  public:
    Gallery(std::uint16_t simulatorPort, QString compareWith, QString out)
        : utility_(simulatorPort), compareWith_(std::move(compareWith)), out_(std::move(out)) {}

    // Renders every picture; false when one could not be made or differs.
    bool run();

  private:
    void take(const QString& name, QWidget* dialog);
    bool fail(const QString& why) {
        std::fprintf(stderr, "dialog-gallery: %s\n", qPrintable(why));
        ok_ = false;
        return false;
    }
    bool selectAndRead(const std::string& name);
    bool showDialog(QDialog& dialog) {
        dialog.show();
        dialog.activateWindow();
        if (!waitUntil(
                [&] { return dialog.isVisible() && QApplication::activeWindow() == &dialog; },
                2000)) {
            return fail("no window for " + dialog.objectName());
        }
        settle();
        return true;
    }
    void deviceList();
    void statusMonitor();
    void editors();
    void selfTests();

    LoopbackUtility utility_;
    QString compareWith_, out_;
    bool ok_ = true;
};

void Gallery::take(const QString& name, QWidget* dialog) {
    settle();
    const QImage picture = framed(dialog);
    const QString file = name + ".png";
    if (compareWith_.isEmpty()) {
        if (!savePicture(picture, QDir(out_).filePath(file))) {
            fail("cannot write " + QDir(out_).filePath(file));
        }
        return;
    }
    const QImage before = QImageReader(QDir(compareWith_).filePath(file))
                              .read()
                              .convertToFormat(QImage::Format_RGB32);
    QString why;
    QImage map;
    int odd = 0;
    if (before.isNull()) {
        why = "no picture to compare with";
    } else if (before.size() != picture.size()) {
        why = QString("size %1x%2, was %3x%4")
                  .arg(picture.width())
                  .arg(picture.height())
                  .arg(before.width())
                  .arg(before.height());
    } else if (odd = oddPixels(picture, before, &map);
               odd > picture.width() * picture.height() / kOddPixelsPer) {
        why = QString("%1 pixels differ").arg(odd);
    }
    if (why.isEmpty()) {
        std::printf("%-22s the same (%d pixels differ)\n", qPrintable(file), odd);
        return;
    }
    fail(file + ": " + why);
    if (!out_.isEmpty()) {
        savePicture(picture, QDir(out_).filePath(file));
        if (!map.isNull()) {
            savePicture(map, QDir(out_).filePath(name + "-diff.png"));
        }
    }
}

bool Gallery::selectAndRead(const std::string& name) {
    Link& link = utility_.link;
    int row = -1;
    for (int i = 0; i < link.devices().deviceCount(); ++i) {
        if (std::string(link.devices().entry(i).name.data(), 12).starts_with(name + " ")) {
            row = i;
        }
    }
    if (row < 0) {
        return fail(QString("no appliance %1").arg(name.c_str()));
    }
    link.chooseDevice(row);
    link.setTargetAddress(link.devices().entry(row).address);
    link.sendRequest(kVersions);
    if (!waitUntil([&] { return link.awaitedReply() == 0; })) {
        return fail("no firmware versions");
    }
    link.sendRequest(kReadConfig);
    if (!waitUntil([&] { return link.configReceived(); })) {
        return fail(QString("no configuration of %1").arg(name.c_str()));
    }
    return true;
}

// The three appliances as discovery lists them; the first row selected.
void Gallery::deviceList() {
    CDeviceListDlg dlg(utility_.link, utility_.config, utility_.test, utility_.state, utility_.ui,
                       utility_.access);
    if (!showDialog(dlg)) {
        return;
    }
    if (!waitUntil([&] {
            return dlg.list()->count() == 3 &&
                   !dlg.timers().isActive(CDeviceListDlg::TIMER_DISCOVERY);
        })) {
        fail("the Device List did not list three appliances");
    }
    take("device_list", &dlg);
    dlg.done(QDialog::Rejected);
}

// Every appliance's state; VARN-Store's last dial failed.
void Gallery::statusMonitor() {
    CStatusMonitorDlg dlg(utility_.link, utility_.state);
    if (!showDialog(dlg)) {
        return;
    }
    if (!waitUntil([&] { return dlg.list()->count() == 3; })) {
        fail("the Status Monitor did not list three appliances");
    }
    take("status_monitor", &dlg);
    dlg.done(QDialog::Accepted);
}

void Gallery::editors() {
    {
        CAdminLoginDlg login;
        if (showDialog(login)) {
            QTest::keyClicks(login.focusWidget(), "12");
            take("admin_login", &login);
        }
    }
    if (!selectAndRead("VARN-Office")) {
        return;
    }
    {
        CConfigDlg config(utility_.link, utility_.config, utility_.test);
        if (showDialog(config)) {
            take("config", &config);
            config.done(QDialog::Rejected);
        }
    }
    {
        CPasswordDlg password(utility_.config);
        if (showDialog(password)) {
            QTest::keyClicks(password.focusWidget(), "1234");
            take("password", &password);
        }
    }
    {
        CDeviceIpDlg ip(utility_.link, utility_.config);
        if (showDialog(ip)) {
            take("device_ip", &ip);
        }
    }
    if (!selectAndRead("VARN-Lab")) {
        return;
    }
    {
        CAdvanceDlg advance(utility_.config);
        if (showDialog(advance)) {
            take("advance", &advance);
        }
    }
    {
        CLoginScriptDlg script(utility_.config);
        if (showDialog(script)) {
            take("login_script", &script);
        }
    }
    {
        CAboutDlg about;
        if (showDialog(about)) {
            take("about", &about);
        }
    }
}

// Success on VARN-Office, the busy line on VARN-Store, and VARN-Lab's terminal
// login with the name entered and the password asked for.
void Gallery::selfTests() {
    SelfTestState& selfTest = utility_.selfTest;
    const auto runTest = [&](const std::string& name, const QString& picture,
                             const QString& endsOn) {
        if (!selectAndRead(name) || !selfTest.obtainTerminalText()) {
            return;
        }
        CPracticeDlg dlg(utility_.link, utility_.test);
        if (showDialog(dlg)) {
            if (!waitUntil([&] { return dlg.progressLine()->text() == endsOn; }, 8000)) {
                fail(QString("the self-test of %1 did not reach \"%2\"").arg(name.c_str(), endsOn));
            }
            settle(200); // the focus timer after "Device ready !"
            take(picture, &dlg);
            dlg.done(dlg.button(2)->isEnabled() ? QDialog::Rejected : QDialog::Accepted);
        }
        selfTest.releaseTerminalText();
    };
    runTest("VARN-Office", "selftest_success", "Device ready !");
    runTest("VARN-Store", "selftest_failure", "Dial Error - Telephone line Busy");

    if (!selectAndRead("VARN-Lab") || !selfTest.obtainTerminalText()) {
        return;
    }
    // The terminal runs modally inside the reply dispatch: it is driven from a
    // timer that its own event loop runs.
    bool terminalSeen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* t = qobject_cast<CLoginTerminalDlg*>(QApplication::activeModalWidget());
        if (t == nullptr || !t->isVisible() || terminalSeen) {
            return;
        }
        terminalSeen = true;
        poll.stop();
        QPlainTextEdit* display = t->display();
        if (!waitUntil([&] { return display->toPlainText().endsWith("login: "); })) {
            fail("no login prompt");
        }
        QTest::keyClicks(display, "lab");
        QTest::keyClick(display, Qt::Key_Return);
        if (!waitUntil([&] { return display->toPlainText().endsWith("Password: "); })) {
            fail("no password prompt");
        }
        take("login_terminal", t);
        t->reject();
    });
    poll.start(10);
    CPracticeDlg dlg(utility_.link, utility_.test);
    if (showDialog(dlg)) {
        if (!waitUntil([&] { return terminalSeen; }, 8000)) {
            fail("the Login Terminal did not open");
        }
        settle();
        dlg.reject(); // the record as it was, the line hung up
    }
    selfTest.releaseTerminalText();
}

bool Gallery::run() {
    deviceList(); // opens the endpoint, as the first Device List does
    if (utility_.link.devices().deviceCount() != 3) {
        return fail("discovery found no three appliances");
    }
    statusMonitor(); // before the self-tests change the appliances' states
    editors();
    selfTests();
    return ok_;
}

int usage() {
    std::fputs("Usage: dialog-gallery --out DIR | --compare DIR [--diff DIR]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QString out, compareWith;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if ((a == "--out" || a == "--diff") && i + 1 < argc) {
            out = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--compare" && i + 1 < argc) {
            compareWith = QString::fromLocal8Bit(argv[++i]);
        } else {
            return usage();
        }
    }
    if (out.isEmpty() && compareWith.isEmpty()) {
        return usage();
    }
    // What the pictures look like must not depend on this machine's settings.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("FONTCONFIG_FILE", VARN_SOURCE_DIR "/tests/gui/gallery-fonts.conf");
    for (const char* v :
         {"QT_FONT_DPI", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_STYLE_OVERRIDE", "QT_QPA_PLATFORMTHEME"}) {
        qunsetenv(v);
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setCursorFlashTime(0);
    applyDialogColours();
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    initSetupResources();
    if (!compareWith.isEmpty() && !out.isEmpty()) {
        QDir(out).removeRecursively(); // what differed last time
    }
    if (!out.isEmpty() && !QDir().mkpath(out)) {
        std::fprintf(stderr, "dialog-gallery: cannot make %s\n", qPrintable(out));
        return 1;
    }

    simlaunch::SimProcess sim;
    QTemporaryFile unused;
    const QString error = startSimulator(sim, unused, nullptr);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "dialog-gallery: %s\n", qPrintable(error));
        return 1;
    }
    bool ok = false;
    {
        MessageRecorder messages; // a message box would stop the run
        Gallery gallery(sim.port, compareWith, out);
        ok = gallery.run();
        if (!messages.texts.isEmpty()) {
            std::fprintf(stderr, "dialog-gallery: unexpected message: %s\n",
                         qPrintable(messages.texts.join(" / ")));
            ok = false;
        }
    }
    simlaunch::stopSimulator(sim);
    return ok ? 0 : 1;
}
