// bench-window: the baseline of the whole-program measurements, a minimal Qt
// Widgets program. It shows one empty window of the given size, or a maximized
// one showing a picture stretched over it, prints "at shown NS" when the window
// first paints, then its peak resident memory, and ends. --text draws a line of
// text as well (the program's font machinery loaded, as any program with text
// loads it).
//
// Usage: bench-window (--size WxH | --maximized --picture FILE) [--text TEXT]
//                     [--hold-ms MS]

#include "bench_support.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class Window : public QWidget {
  public:
    QPixmap picture;
    QString text;
    int holdMs = 300;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (!picture.isNull()) {
            painter.drawPixmap(rect(), picture);
        }
        if (!text.isEmpty()) {
            painter.drawText(rect(), Qt::AlignCenter, text);
        }
        if (!painted_) {
            painted_ = true;
            bench::printAt("shown", bench::nowNs());
            QTimer::singleShot(holdMs, [] {
                std::printf("peak_kib %ld\n", bench::statusKiB("VmHWM"));
                QCoreApplication::exit(0);
            });
        }
    }

  private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Window window;
    int width = 0, height = 0;
    bool maximized = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) {
                std::fprintf(stderr, "bench-window: --size WxH\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--maximized") == 0) {
            maximized = true;
        } else if (std::strcmp(argv[i], "--picture") == 0 && hasValue) {
            window.picture = QPixmap(QString::fromLocal8Bit(argv[++i]));
            if (window.picture.isNull()) {
                std::fprintf(stderr, "bench-window: cannot load %s\n", argv[i]);
                return 1;
            }
        } else if (std::strcmp(argv[i], "--text") == 0 && hasValue) {
            window.text = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--hold-ms") == 0 && hasValue) {
            window.holdMs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench-window (--size WxH | --maximized --picture FILE) "
                                 "[--text TEXT] [--hold-ms MS]\n");
            return 2;
        }
    }
    if (maximized) {
        window.showMaximized();
    } else {
        window.resize(width > 0 ? width : 400, height > 0 ? height : 300);
        window.show();
    }
    return app.exec();
}
