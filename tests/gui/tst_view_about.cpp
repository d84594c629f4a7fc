// The view's background picture and its one opening of the Device List, and the
// About box.

#include "gui_test_support.h"

#include "gui/app/about_dlg.h"
#include "gui/app/app_state.h"
#include "gui/app/setup_app.h"
#include "gui/app/setup_view.h"
#include "protocol/endpoint.h"

#include <QLabel>
#include <QPushButton>

using namespace guitest;

namespace {
// What the view is handed: it reads endpointOpened and sets firstListClosed.
struct ViewRig : LinkRig {
    varn::UdpEndpoint endpoint{varn::EndpointSettings{}, ui};
    AppState app;
    SetupContext context{endpoint, link, config, test, state, app, ui};
};
} // namespace

class TestViewAbout : public QObject {
    Q_OBJECT

  private slots:
    void backgroundPictureIsTheStretchedBitmap() {
        const QImage picture(":/bitmap/124");
        QCOMPARE(picture.size(), QSize(409, 314));
        QCOMPARE(picture.depth(), 32); // loaded from 24 bits per pixel, opaque
        QVERIFY(!picture.hasAlphaChannel());
        QVERIFY(!QPixmap(":/icon/2").isNull());

        ViewRig rig;
        rig.state.endpointOpened = true; // the Device List has run already
        CSetupView view(rig.context);
        int runs = 0;
        view.setDeviceListRunner([&] { ++runs; });
        view.resize(818, 648);
        const QImage shot = view.grab().toImage();
        // The picture fills all but the bottom 20 rows, stretched twice over.
        const QImage scaled = picture.scaled(818, 628);
        QCOMPARE(shot.pixelColor(409, 60), scaled.pixelColor(409, 60));
        QCOMPARE(shot.pixelColor(10, 600), scaled.pixelColor(10, 600));
        QVERIFY(shot.pixelColor(10, 640) != scaled.pixelColor(10, 627));
        QCoreApplication::processEvents();
        QCOMPARE(runs, 0);
    }

    // The first paint opens the Device List once, then sets firstListClosed;
    // a view without room still opens it.
    void firstPaintOpensTheDeviceListOnce_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("normal") << QSize(400, 300);
        QTest::newRow("no height") << QSize(400, 0);
    }
    void firstPaintOpensTheDeviceListOnce() {
        QFETCH(QSize, size);
        ViewRig rig;
        CSetupView view(rig.context);
        int runs = 0;
        view.setDeviceListRunner([&] {
            ++runs;
            QVERIFY(!rig.app.firstListClosed);
            rig.state.endpointOpened = true;
        });
        view.resize(size);
        QPaintEvent paint(QRect(0, 0, 1, 1));
        QCoreApplication::sendEvent(&view, &paint);
        QCoreApplication::sendEvent(&view, &paint); // before the dialog has run
        QTRY_COMPARE(runs, 1);
        QVERIFY(rig.app.firstListClosed);
        QCoreApplication::sendEvent(&view, &paint);
        QCoreApplication::processEvents();
        QCOMPARE(runs, 1);
    }

    // Grey dialogs with black text, but a disabled control still looks disabled.
    void dialogColoursKeepDisabledControlsGrey() {
        applyDialogColours();
        CAboutDlg about;
        const QPalette palette = QApplication::palette(&about);
        QCOMPARE(palette.color(QPalette::Active, QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(palette.color(QPalette::Active, QPalette::ButtonText), QColor(Qt::black));
        QVERIFY(palette.color(QPalette::Disabled, QPalette::ButtonText) !=
                palette.color(QPalette::Active, QPalette::ButtonText));
        QVERIFY(palette.color(QPalette::Disabled, QPalette::Text) != QColor(Qt::black));
    }

    void aboutBoxShowsItsTexts() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QString("About Setup "));
        QStringList texts;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                texts << label->text();
            }
        }
        texts.sort();
        QCOMPARE(texts, (QStringList{"Internet VARN", "Setup program", "Version 1.1"}));
        QVERIFY(about.findChild<QLabel*>("iconLabel")->pixmap().width() > 0);
        QVERIFY(!about.windowIcon().availableSizes().isEmpty());
        auto script = whenModal<CAboutDlg>([](CAboutDlg* d) {
            auto* ok = d->findChild<QPushButton*>("id1");
            QCOMPARE(ok->text(), QString("OK"));
            QVERIFY(ok->isDefault());
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestViewAbout)
#include "tst_view_about.moc"

using namespace varn;
