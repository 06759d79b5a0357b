#include "assignment.h"

#include <limits>

namespace {

// Rows no more than columns: Kuhn and Munkres' method with potentials, adding one row
// at a time along a shortest augmenting path.
std::vector<int> assignRowsToColumns(const std::vector<std::vector<double>> &cost, int rows, int columns)
{
    const double infinity = std::numeric_limits<double>::infinity();
    // 1-based below, with row 0 and column 0 standing for "none".
    std::vector<double> rowPotential(rows + 1, 0), columnPotential(columns + 1, 0);
    std::vector<int> rowOfColumn(columns + 1, 0), previousColumn(columns + 1, 0);
    for (int row = 1; row <= rows; ++row) {
        rowOfColumn[0] = row;
        int column = 0;
        std::vector<double> slack(columns + 1, infinity);
        std::vector<bool> used(columns + 1, false);
        do {
            used[column] = true;
            const int current = rowOfColumn[column];
            double delta = infinity;
            int next = 0;
            for (int j = 1; j <= columns; ++j) {
                if (used[j])
                    continue;
                const double reduced = cost[current - 1][j - 1] - rowPotential[current] - columnPotential[j];
                if (reduced < slack[j]) {
                    slack[j] = reduced;
                    previousColumn[j] = column;
                }
                if (slack[j] < delta) {
                    delta = slack[j];
                    next = j;
                }
            }
            for (int j = 0; j <= columns; ++j) {
                if (used[j]) {
                    rowPotential[rowOfColumn[j]] += delta;
                    columnPotential[j] -= delta;
                } else {
                    slack[j] -= delta;
                }
            }
            column = next;
        } while (rowOfColumn[column] != 0);
        do {
            const int previous = previousColumn[column];
            rowOfColumn[column] = rowOfColumn[previous];
            column = previous;
        } while (column != 0);
    }
    std::vector<int> columnOfRow(rows, -1);
    for (int j = 1; j <= columns; ++j)
        if (rowOfColumn[j] != 0)
            columnOfRow[rowOfColumn[j] - 1] = j - 1;
    return columnOfRow;
}

} // namespace

std::vector<int> cheapestAssignment(const std::vector<std::vector<double>> &cost)
{
    const int rows = static_cast<int>(cost.size());
    const int columns = rows == 0 ? 0 : static_cast<int>(cost[0].size());
    if (rows == 0 || columns == 0)
        return std::vector<int>(rows, -1);
    if (rows <= columns)
        return assignRowsToColumns(cost, rows, columns);

    // More rows than columns: assign the columns to the rows instead.
    std::vector<std::vector<double>> transposed(columns, std::vector<double>(rows));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            transposed[j][i] = cost[i][j];
    const std::vector<int> rowOfColumn = assignRowsToColumns(transposed, columns, rows);
    std::vector<int> columnOfRow(rows, -1);
    for (int j = 0; j < columns; ++j)
        columnOfRow[rowOfColumn[j]] = j;
    return columnOfRow;
}
