#pragma once
// The application object: creates the document, the main frame and the view.

#include <QObject>

#include "gui/app/setup_context.h"

namespace varn {

class CMainFrame;
class CSetupDoc;
class CSetupView;

class CSetupApp : public QObject {
    Q_OBJECT
  public:
    // The window title, from the document string.
    static const char* const kDocumentString;

    explicit CSetupApp(SetupContext context);
    ~CSetupApp() override;

    // Sets the dialog colours, creates the empty document, frame and view, and
    // shows the frame. The command line is not read.
    bool initInstance();

    CMainFrame* mainFrame() const { return frame_; }
    CSetupView* view() const { return view_; }

  private:
    SetupContext context_;
    CSetupDoc* document_ = nullptr;
    CMainFrame* frame_ = nullptr;
    CSetupView* view_ = nullptr;
};

// Grey RGB(192,192,192) background and black text for every dialog.
void applyDialogColours();

} // namespace varn
