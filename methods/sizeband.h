#ifndef SIZEBAND_H
#define SIZEBAND_H

// The sizes of moving object the automatic recognition boxes: a convex hull's area in
// pixels, strictly between the two bounds.
struct SizeBand
{
    int lower = 500;
    int upper = 1000;

    bool admits(double area) const { return area > lower && area < upper; }
    // A band with negative bounds, or a lower bound not below the upper, admits nothing.
    bool admitsSomething() const { return lower >= 0 && lower < upper; }
};

#endif // SIZEBAND_H
