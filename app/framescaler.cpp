#include "framescaler.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>

namespace {

// Each pixel of the probe image names its own position, 12 bits a coordinate, so
// frames up to this size can be probed; the value 0 stays free for "not painted".
constexpr int kLargestProbed = 4095;

QImage positionProbe(const QSize &size)
{
    QImage probe(size, QImage::Format_BGR888);
    for (int y = 0; y < size.height(); ++y) {
        uchar *pixel = probe.scanLine(y);
        for (int x = 0; x < size.width(); ++x, pixel += 3) {
            const unsigned position = (unsigned(y + 1) << 12) | unsigned(x + 1);
            pixel[0] = uchar(position);
            pixel[1] = uchar(position >> 8);
            pixel[2] = uchar(position >> 16);
        }
    }
    return probe;
}

unsigned positionAt(const QImage &scaledProbe, int x, int y)
{
    const uchar *pixel = scaledProbe.constScanLine(y) + 3 * x;
    return unsigned(pixel[0]) | unsigned(pixel[1]) << 8 | unsigned(pixel[2]) << 16;
}

// BGR888 to RGB32 (0xffRRGGBB) by OpenCV's vectorised code, where Qt's own conversion
// takes a slow generic path. In blocks of at most 64 Ki pixels: that much OpenCV converts
// on this thread, where a larger image would wake its worker threads for a moment's work,
// and they then spin idle.
void convertBgrToRgb32(const QImage &frame, QImage &rgb32)
{
    const cv::Mat from(frame.height(), frame.width(), CV_8UC3, const_cast<uchar *>(frame.constBits()),
                       static_cast<size_t>(frame.bytesPerLine()));
    cv::Mat to(rgb32.height(), rgb32.width(), CV_8UC4, rgb32.bits(), static_cast<size_t>(rgb32.bytesPerLine()));
    const int rowsPerBlock = std::max(1, 65536 / frame.width());
    for (int y = 0; y < frame.height(); y += rowsPerBlock) {
        const cv::Range rows(y, std::min(y + rowsPerBlock, frame.height()));
        cv::Mat block = to.rowRange(rows);
        cv::cvtColor(from.rowRange(rows), block, cv::COLOR_BGR2BGRA);  // B, G, R, 255: RGB32 in memory
    }
}

} // namespace

bool FrameScaler::learnScale(const QSize &frameSize, const QSize &bounds)
{
    sourceColumnOffset.clear();
    sourceRow.clear();
    if (frameSize.width() > kLargestProbed || frameSize.height() > kLargestProbed)
        return false;

    const QImage probe = positionProbe(frameSize)
                             .scaled(bounds, Qt::KeepAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_BGR888);
    scaledSize = probe.size();
    if (probe.isNull())
        return true;

    for (int x = 0; x < probe.width(); ++x) {
        const unsigned column = positionAt(probe, x, 0) & 0xfff;
        if (column == 0)
            return false;
        sourceColumnOffset.push_back(3 * int(column - 1));
    }
    for (int y = 0; y < probe.height(); ++y) {
        const unsigned row = positionAt(probe, 0, y) >> 12;
        if (row == 0)
            return false;
        sourceRow.push_back(int(row - 1));
    }
    // Every shown pixel must be the pixel of its column's and its row's choice.
    for (int y = 0; y < probe.height(); ++y) {
        for (int x = 0; x < probe.width(); ++x) {
            const unsigned expected = unsigned(sourceRow[y] + 1) << 12 | unsigned(sourceColumnOffset[x] / 3 + 1);
            if (positionAt(probe, x, y) != expected)
                return false;
        }
    }
    return true;
}

QImage FrameScaler::scaled(const QImage &frame, const QSize &bounds)
{
    if (frame.isNull())
        return QImage();
    if (frame.size() != learntFrameSize || bounds != learntBounds) {
        learnt = frame.format() == QImage::Format_BGR888 && learnScale(frame.size(), bounds);
        learntFrameSize = frame.size();
        learntBounds = bounds;
    }
    if (!learnt || frame.format() != QImage::Format_BGR888)
        return frame.scaled(bounds, Qt::KeepAspectRatio, Qt::FastTransformation).convertToFormat(QImage::Format_RGB32);
    if (scaledSize.isEmpty())
        return QImage();

    QImage scaled(scaledSize, QImage::Format_RGB32);
    if (scaled.isNull())
        return scaled;

    if (scaledSize == frame.size()) {
        convertBgrToRgb32(frame, scaled);
        return scaled;
    }
    const int width = scaledSize.width();
    const int *columnOffset = sourceColumnOffset.data();
    // Where four bytes from a pixel on still lie in its row, one 32-bit read takes B, G
    // and R at once (in a little-endian word: 0x..RRGGBB, as RGB32 wants them).
    int wordColumns = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? width : 0;
    while (wordColumns > 0 && columnOffset[wordColumns - 1] + 4 > frame.bytesPerLine())
        --wordColumns;
    for (int y = 0; y < scaledSize.height(); ++y) {
        auto *to = reinterpret_cast<quint32 *>(scaled.scanLine(y));
        if (y > 0 && sourceRow[y] == sourceRow[y - 1]) {
            // An enlarged frame shows a source row more than once.
            std::memcpy(to, scaled.constScanLine(y - 1), size_t(width) * 4);
            continue;
        }
        const uchar *from = frame.constScanLine(sourceRow[y]);
        int x = 0;
        for (; x < wordColumns; ++x) {
            quint32 word;
            std::memcpy(&word, from + columnOffset[x], 4);
            to[x] = 0xff000000u | word;
        }
        for (; x < width; ++x) {
            const uchar *pixel = from + columnOffset[x];
            to[x] = 0xff000000u | quint32(pixel[2]) << 16 | quint32(pixel[1]) << 8 | pixel[0];
        }
    }
    return scaled;
}

QImage FrameScaler::displayable(const QImage &image)
{
    if (image.format() != QImage::Format_BGR888 || image.isNull())
        return image;
    QImage rgb32(image.size(), QImage::Format_RGB32);
    if (!rgb32.isNull())
        convertBgrToRgb32(image, rgb32);
    return rgb32;
}
