#ifndef IDENTITYTRACKER_H
#define IDENTITYTRACKER_H

#include "trackparameters.h"

#include <opencv2/core.hpp>
#include <opencv2/video/tracking.hpp>

#include <deque>
#include <vector>

// An object followed from frame to frame, as a frame shows it.
struct IdentifiedObject
{
    int id;                          // 1, 2, …, never given twice in a run
    cv::Rect box;
    std::vector<cv::Point> trail;    // its centres over the last two seconds, the oldest first
};

// Gives the boxes found in each frame identities that last. Every object is a track
// whose constant-velocity Kalman filter predicts where it will be; a frame's boxes go
// to the predicted tracks by the cheapest assignment on overlap, or on distance for a
// track that has been missing. A track is shown once matched in a few frames in a row,
// and lives on its prediction for a while when unmatched, so that an object hidden for
// a moment, or out of the size band, keeps its number when it comes back. Where one box
// covers the predictions of several tracks (objects that walk past each other, seen as
// one blob), each of them goes on along its prediction until they part.
class IdentityTracker
{
public:
    IdentityTracker(const TrackParameters &parameters, double fps);

    // The boxes found in the next frame; returns the objects shown in it.
    std::vector<IdentifiedObject> update(const std::vector<cv::Rect> &boxes);

private:
    struct Track
    {
        cv::KalmanFilter filter;
        int id = 0;                // 0 until it is confirmed
        int matchesInARow = 0;
        int framesUnmatched = 0;
        cv::Rect predicted;
        std::deque<std::pair<int, cv::Point>> trail;  // frame and centre
    };

    Track startTrack(const cv::Rect &box) const;
    static cv::Rect predictedBox(const cv::Mat &state);
    double matchCost(const Track &track, const cv::Rect &box) const;

    TrackParameters parameters;
    int trailFrames;
    int frame = 0;
    int lastId = 0;
    std::vector<Track> tracks;
};

#endif // IDENTITYTRACKER_H
