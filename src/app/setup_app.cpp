#include "app/setup_app.h"

#include "app/main_frame.h"
#include "app/setup_doc.h"
#include "app/setup_view.h"

#include <QApplication>
#include <QPalette>
#include <QStringList>

const char* const CSetupApp::kDocumentString =
    "Windows Application\nVARN Setup\nSetup Document\n\n\nSetup.Document\nSetup Document";

void applyDialogColours() {
    QPalette palette = QApplication::palette();
    const QColor grey(192, 192, 192);
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(palette, "QDialog");
}

CSetupApp::CSetupApp(varn::UdpEndpoint& endpoint, varn::Link& link)
    : endpoint_(endpoint), link_(link) {}

CSetupApp::~CSetupApp() {
    delete frame_;
}

bool CSetupApp::initInstance() {
    applyDialogColours();
    document_ = new CSetupDoc(this);
    frame_ = new CMainFrame(endpoint_, link_);
    frame_->setAttribute(Qt::WA_DeleteOnClose, false);
    // A single-document frame is titled "<document name> - <window title>",
    // both fields of the document string.
    const QStringList fields = QString::fromLatin1(kDocumentString).split('\n');
    frame_->setWindowTitle(fields.value(1) + QStringLiteral(" - ") + fields.value(0));
    view_ = new CSetupView(frame_);
    frame_->setCentralWidget(view_);
    frame_->show();
    return true;
}
