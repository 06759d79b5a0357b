#ifndef HUGEPAGES_H
#define HUGEPAGES_H

// Lets OpenCV place its large images on the system's huge pages, where the system
// offers them. The background model of the automatic recognition is about 100 bytes
// a pixel (tens of megabytes for a full-size video) and is walked through in full for
// every frame; on ordinary pages much of that walk goes into translating addresses.
// Call once, before the first image is made. Where there are no huge pages to be had,
// nothing changes.
void placeLargeImagesOnHugePages();

#endif // HUGEPAGES_H
