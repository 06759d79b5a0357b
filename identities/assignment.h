#ifndef ASSIGNMENT_H
#define ASSIGNMENT_H

#include <vector>

// The optimal assignment of rows to columns: the one whose costs add up to the least
// (the Hungarian method, O(n²m) for n rows and m columns). `cost` has one vector per
// row, all of the same length. Returns the column of every row, or -1 for the rows
// left over when there are more rows than columns.
std::vector<int> cheapestAssignment(const std::vector<std::vector<double>> &cost);

#endif // ASSIGNMENT_H
