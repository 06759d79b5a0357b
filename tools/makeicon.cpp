// Renders the program's SVG icon into the Windows icon that the executable and its
// installer carry: one PNG-compressed image per size, the form Windows Vista and
// later read.
//
//   makeicon app/kestrovix.svg app/kestrovix.ico

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>

namespace {

void appendLittleEndian16(QByteArray &bytes, quint16 value)
{
    const quint16 little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&little), 2);
}

void appendLittleEndian32(QByteArray &bytes, quint32 value)
{
    const quint32 little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&little), 4);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeicon ICON.svg ICON.ico\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "makeicon: cannot read %s\n", argv[1]);
        return 1;
    }

    const int sizes[] = {16, 24, 32, 48, 64, 256};
    QList<QByteArray> pngs;
    for (int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pngs.append(png);
    }

    // ICONDIR, one ICONDIRENTRY per image, then the images.
    const int count = static_cast<int>(pngs.size());
    QByteArray icon;
    appendLittleEndian16(icon, 0);
    appendLittleEndian16(icon, 1);
    appendLittleEndian16(icon, static_cast<quint16>(count));
    quint32 offset = 6 + 16 * count;
    for (int i = 0; i < count; ++i) {
        const char side = static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]);  // 0 means 256
        icon.append(side).append(side).append('\0').append('\0');
        appendLittleEndian16(icon, 1);   // colour planes
        appendLittleEndian16(icon, 32);  // bits per pixel
        appendLittleEndian32(icon, static_cast<quint32>(pngs[i].size()));
        appendLittleEndian32(icon, offset);
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray &png : pngs)
        icon.append(png);

    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(icon) != icon.size()) {
        std::fprintf(stderr, "makeicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
