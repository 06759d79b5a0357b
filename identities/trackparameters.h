#ifndef TRACKPARAMETERS_H
#define TRACKPARAMETERS_H

// How the automatic recognition follows the identities of what it finds. The defaults
// suit people walking past a camera at 25 frames a second.
struct TrackParameters
{
    int framesToConfirm = 3;       // matched in this many frames in a row before it is shown
    int framesKeptUnmatched = 40;  // lives on its prediction for this many frames without a match
    double minimumOverlap = 0.1;   // of a box with a track's prediction (intersection over union) to match

    bool isValid() const { return framesToConfirm >= 1 && framesKeptUnmatched >= 0 && minimumOverlap > 0 && minimumOverlap <= 1; }
    bool operator==(const TrackParameters &other) const
    {
        return framesToConfirm == other.framesToConfirm && framesKeptUnmatched == other.framesKeptUnmatched
            && minimumOverlap == other.minimumOverlap;
    }
};

#endif // TRACKPARAMETERS_H
