#ifndef LINECOUNTER_H
#define LINECOUNTER_H

#include "identitytracker.h"
#include "sceneanalysis.h"

#include <map>
#include <vector>

// An object whose centre crossed a line in a frame.
struct Crossing
{
    int line;       // its index among the lines
    int track;      // the object's number
    int direction;  // +1 from the line's left to its right, −1 the other way
};

struct LineCount
{
    int forward = 0;   // +1 crossings
    int backward = 0;  // −1 crossings
};

// Counts the objects that cross each line, by where their centres were when last seen
// on either side of it and where they are now.
class LineCounter
{
public:
    // The objects shown in the next frame; returns the crossings in it. The lines may
    // have grown since the last frame; fewer lines start the counts again.
    std::vector<Crossing> update(const std::vector<CountingLine> &lines, const std::vector<IdentifiedObject> &objects);
    const std::vector<LineCount> &counts() const { return lineCounts; }
    // The objects' numbers start again (a seek): where they were is forgotten, the counts kept.
    void forgetObjects() { lastSeen.clear(); }

private:
    std::vector<LineCount> lineCounts;
    std::map<std::pair<int, size_t>, cv::Point2d> lastSeen;  // (object, line) → centre off the line
};

#endif // LINECOUNTER_H
