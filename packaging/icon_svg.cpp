// icon-svg: writes a picture as an SVG of its pixels, so that the desktop's
// scalable icon is exactly the program's own window icon, at any size.
//   icon-svg IN.png OUT.svg

#include <QFile>
#include <QImage>
#include <QString>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon-svg IN.png OUT.svg\n");
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "icon-svg: cannot read %s\n", argv[1]);
        return 1;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "icon-svg: cannot write %s\n", argv[2]);
        return 1;
    }
    QTextStream svg(&out);
    // crispEdges keeps neighbouring pixels from showing seams when scaled.
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << image.width() << "\" height=\""
        << image.height() << "\" viewBox=\"0 0 " << image.width() << ' ' << image.height()
        << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width();) {
            const QRgb pixel = row[x];
            int run = 1;
            while (x + run < image.width() && row[x + run] == pixel)
                ++run;
            if (qAlpha(pixel) != 0) {
                svg << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << run
                    << "\" height=\"1\" fill=\""
                    << QString::asprintf("#%02x%02x%02x", qRed(pixel), qGreen(pixel), qBlue(pixel))
                    << '"';
                if (qAlpha(pixel) != 255)
                    svg << " fill-opacity=\"" << QString::number(qAlpha(pixel) / 255.0, 'f', 3)
                        << '"';
                svg << "/>\n";
            }
            x += run;
        }
    }
    svg << "</svg>\n";
    svg.flush();
    return out.error() == QFileDevice::NoError ? 0 : 1;
}
