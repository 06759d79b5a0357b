#ifndef VIDEOSOURCE_H
#define VIDEOSOURCE_H

#include <QString>

// Where the recognitions take their frames from: the bundled clips (each button its
// own), a video file, a network stream or a camera.
struct VideoSource
{
    enum Kind { Bundled, File, Stream, Camera };

    Kind kind = Bundled;
    QString location;  // the file's absolute path or the stream's URL
    int cameraIndex = -1;

    static VideoSource bundled();
    static VideoSource camera(int index);
    // A path (made absolute against the current folder) or a URL such as rtsp://…
    static VideoSource fromArgument(const QString &pathOrUrl);

    // What the user calls it: the file's name, the URL, "Camera 0", "Bundled clips".
    QString name() const;
    // The file's full path, the URL, "camera 0": what a message about it names.
    QString fullName() const;
    // A camera or a stream: it does not end by itself, and has no frame count.
    bool isLive() const { return kind == Stream || kind == Camera; }

    // As kept in the settings ("camera:N" for a camera), and back.
    QString toSetting() const;
    static VideoSource fromSetting(const QString &setting);

    bool operator==(const VideoSource &other) const;
    bool operator!=(const VideoSource &other) const { return !(*this == other); }
};

#endif // VIDEOSOURCE_H
