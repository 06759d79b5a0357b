#include "videosource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

VideoSource VideoSource::bundled()
{
    return VideoSource();
}

VideoSource VideoSource::camera(int index)
{
    VideoSource source;
    source.kind = Camera;
    source.cameraIndex = index;
    return source;
}

VideoSource VideoSource::fromArgument(const QString &pathOrUrl)
{
    VideoSource source;
    // A scheme of two letters or more: "C:\video.avi" is a path.
    static const QRegularExpression url("^[A-Za-z][A-Za-z0-9+.-]+://");
    if (url.match(pathOrUrl).hasMatch() && !pathOrUrl.startsWith("file://", Qt::CaseInsensitive)) {
        source.kind = Stream;
        source.location = pathOrUrl;
    } else {
        source.kind = File;
        const QString path = pathOrUrl.startsWith("file://", Qt::CaseInsensitive)
            ? QUrl(pathOrUrl).toLocalFile() : pathOrUrl;
        source.location = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    }
    return source;
}

QString VideoSource::name() const
{
    switch (kind) {
    case Bundled:
        return QCoreApplication::translate("VideoSource", "Bundled clips");
    case File:
        return QFileInfo(location).fileName();
    case Stream:
        return location;
    case Camera:
        return QCoreApplication::translate("VideoSource", "Camera %1").arg(cameraIndex);
    }
    return QString();
}

QString VideoSource::fullName() const
{
    switch (kind) {
    case File:
        return QDir::toNativeSeparators(location);
    case Camera:
        return QCoreApplication::translate("VideoSource", "camera %1").arg(cameraIndex);
    default:
        return name();
    }
}

QString VideoSource::toSetting() const
{
    switch (kind) {
    case Camera:
        return QString("camera:%1").arg(cameraIndex);
    case Bundled:
        return QString();
    default:
        return location;
    }
}

VideoSource VideoSource::fromSetting(const QString &setting)
{
    if (setting.isEmpty())
        return bundled();
    if (setting.startsWith("camera:")) {
        bool ok = false;
        const int index = setting.mid(7).toInt(&ok);
        if (ok && index >= 0)
            return camera(index);
    }
    return fromArgument(setting);
}

bool VideoSource::operator==(const VideoSource &other) const
{
    return kind == other.kind && location == other.location && cameraIndex == other.cameraIndex;
}
