#pragma once
// The view: paints the background picture and opens the Device List at its first paint.

#include "gui/app/setup_context.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace varn {

// Registers the icon and the background picture (the resources live in a static
// library, whose registration the linker would otherwise drop). Safe to repeat.
void initSetupResources();

class CSetupView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int IDB_BACKGROUND = 124;
    static constexpr int kPictureWidth = 409, kPictureHeight = 314;
    static constexpr int kUnpaintedBottom = 20; // rows below the picture

    explicit CSetupView(SetupContext context, QWidget* parent = nullptr);

    // Runs the Device List modally (tests replace it).
    void setDeviceListRunner(std::function<void()> runner) { runner_ = std::move(runner); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void runFirstDeviceList();

    SetupContext context_;
    std::function<void()> runner_;
    QTimer firstList_; // single shot: the Device List runs after the paint that asked for it
    bool listPending_ = false;
};

} // namespace varn
