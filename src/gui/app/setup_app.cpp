#include "gui/app/setup_app.h"

#include "gui/app/main_frame.h"
#include "gui/app/setup_doc.h"
#include "gui/app/setup_view.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QStringList>

namespace varn {

const char* const CSetupApp::kDocumentString =
    "Windows Application\nVARN Setup\nSetup Document\n\n\nSetup.Document\nSetup Document";

void applyDialogColours() {
    QPalette palette = QApplication::palette();
    const QColor grey(192, 192, 192);
    // Grey surfaces in every state; black text only where a control is usable,
    // so that a disabled control still looks disabled.
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::Button, grey);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    const QColor greyText(128, 128, 128);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, greyText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, greyText);
    palette.setColor(QPalette::Disabled, QPalette::Text, greyText);
    QApplication::setPalette(palette, "QDialog");
}

CSetupApp::CSetupApp(SetupContext context) : context_(context) {}

CSetupApp::~CSetupApp() {
    delete frame_;
}

bool CSetupApp::initInstance() {
    applyDialogColours();
    // The frame's menus in the typeface of the Device List and the other
    // system-font dialogs: one font to load at start-up instead of two.
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    initSetupResources();
    QApplication::setWindowIcon(QIcon(QPixmap(QStringLiteral(":/icon/2"))));
    document_ = new CSetupDoc(this);
    frame_ = new CMainFrame(context_);
    frame_->setAttribute(Qt::WA_DeleteOnClose, false);
    // A single-document frame is titled "<document name> - <window title>",
    // both fields of the document string.
    const QStringList fields = QString::fromLatin1(kDocumentString).split('\n');
    frame_->setWindowTitle(fields.value(1) + QStringLiteral(" - ") + fields.value(0));
    view_ = new CSetupView(context_, frame_);
    frame_->setCentralWidget(view_);
    frame_->show();
    return true;
}

} // namespace varn
