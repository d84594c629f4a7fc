// The view's background picture and its one opening of the Device List, and the
// About box.

#include "gui_test_support.h"

#include "app/about_dlg.h"
#include "app/app_state.h"
#include "app/setup_view.h"

#include <QLabel>
#include <QPushButton>

using namespace guitest;

class TestViewAbout : public QObject {
    Q_OBJECT

  private slots:
    void init() { appState() = AppState{}; }

    void backgroundPictureIsTheStretchedBitmap() {
        const QImage picture(":/bitmap/124");
        QCOMPARE(picture.size(), QSize(409, 314));
        QCOMPARE(picture.depth(), 32); // loaded from 24 bits per pixel, opaque
        QVERIFY(!picture.hasAlphaChannel());
        QVERIFY(!QPixmap(":/icon/2").isNull());

        DevicesState state;
        state.endpointOpened = 1; // the Device List has run already
        CSetupView view;
        view.setDevicesState(state);
        int runs = 0;
        view.setDeviceListRunner([&] { ++runs; });
        view.resize(818, 648);
        const QImage shot = view.grab().toImage();
        // The picture fills all but the bottom 20 rows, stretched twice over.
        const QImage scaled = picture.scaled(818, 628);
        QCOMPARE(shot.pixelColor(409, 60), scaled.pixelColor(409, 60));
        QCOMPARE(shot.pixelColor(10, 600), scaled.pixelColor(10, 600));
        QVERIFY(shot.pixelColor(10, 640) != scaled.pixelColor(10, 627));
        QTest::qWait(20);
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
        DevicesState state;
        CSetupView view;
        view.setDevicesState(state);
        int runs = 0;
        view.setDeviceListRunner([&] {
            ++runs;
            QCOMPARE(appState().firstListClosed, 0);
            state.endpointOpened = 1;
        });
        view.resize(size);
        QPaintEvent paint(QRect(0, 0, 1, 1));
        QCoreApplication::sendEvent(&view, &paint);
        QCoreApplication::sendEvent(&view, &paint); // before the dialog has run
        QTRY_COMPARE(runs, 1);
        QCOMPARE(appState().firstListClosed, 1);
        QCoreApplication::sendEvent(&view, &paint);
        QTest::qWait(20);
        QCOMPARE(runs, 1);
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
        whenModal<CAboutDlg>([](CAboutDlg* d) {
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
