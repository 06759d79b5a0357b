#ifndef BENCHMEDIA_H
#define BENCHMEDIA_H

#include <string>

// The synthetic scene at the sizes users watch, made into the build tree by the media
// generator the first time a benchmark runs; in KESTROVIX_BENCH_MEDIA instead, where
// that is set (a build without the generator is given the scene made by another).
extern const int kBenchSizeCount;
extern const char *const kBenchSizes[];  // "768x576", "1280x720", "1920x1080"

std::string benchMediaDirectory(int sizeIndex);
// Makes the scene at each size if it is not there yet; false if it cannot.
bool makeBenchMedia();

#endif // BENCHMEDIA_H
