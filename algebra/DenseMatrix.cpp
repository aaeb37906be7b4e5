#include "algebra/DenseMatrix.h"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

DenseMatrix::DenseMatrix(int rows, int cols) { allocate(rows, cols); }

DenseMatrix::DenseMatrix(const DenseMatrix &other)
{
    allocate(other.rows, other.cols);
    copyElementsFrom(other);
}

DenseMatrix::DenseMatrix(DenseMatrix &&other) noexcept { swap(other); }

DenseMatrix &DenseMatrix::operator=(const DenseMatrix &other)
{
    if (this == &other)
        return *this;
    // Built aside first, so a failed allocation leaves this matrix as it was.
    DenseMatrix copy(other);
    swap(copy);
    return *this;
}

DenseMatrix &DenseMatrix::operator=(DenseMatrix &&other) noexcept
{
    if (this != &other) {
        release();
        swap(other);
    }
    return *this;
}

DenseMatrix::~DenseMatrix() { release(); }

void DenseMatrix::allocate(int r, int c)
{
    rows = r > 0 ? r : 0;
    cols = c > 0 ? c : 0;
    data = nullptr;
    // A matrix with no rows or no columns holds no storage at all.
    if (rows < 1 || cols < 1)
        return;
    double **rowArrays = new double *[rows]();
    try {
        for (int i = 0; i < rows; ++i)
            rowArrays[i] = new double[cols];
    } catch (...) {
        // The row pointers were value-initialised: unallocated rows are null.
        for (int i = 0; i < rows; ++i)
            delete[] rowArrays[i];
        delete[] rowArrays;
        rows = 0;
        cols = 0;
        throw;
    }
    data = rowArrays;
}

void DenseMatrix::copyElementsFrom(const DenseMatrix &other)
{
    for (int i = 0; i < rows && data; ++i)
        for (int j = 0; j < cols; ++j)
            data[i][j] = other.data[i][j];
}

void DenseMatrix::release() noexcept
{
    if (data) {
        for (int i = 0; i < rows; ++i)
            delete[] data[i];
        delete[] data;
    }
    data = nullptr;
    rows = 0;
    cols = 0;
}

void DenseMatrix::swap(DenseMatrix &other) noexcept
{
    std::swap(rows, other.rows);
    std::swap(cols, other.cols);
    std::swap(data, other.data);
}

void DenseMatrix::setZero()
{
    for (int i = 0; i < rows && data; ++i)
        for (int j = 0; j < cols; ++j)
            data[i][j] = 0.0;
}

DenseMatrix DenseMatrix::inverse(bool *ok) const
{
    DenseMatrix result(rows, cols);
    result.setZero();
    if (ok)
        *ok = false;
    if (rows != cols)
        return result;
    const int n = rows;
    if (n == 0) {
        if (ok)
            *ok = true;
        return result;
    }

    // Working copy a, element (i, j) at i * n + j; is/js record the pivot
    // row and column of each step so the exchanges can be undone.
    const std::size_t size = static_cast<std::size_t>(n);
    std::vector<double> a(size * size);
    auto at = [&a, size](int i, int j) -> double & {
        return a[static_cast<std::size_t>(i) * size + static_cast<std::size_t>(j)];
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            at(i, j) = data[i][j];
    std::vector<int> is(size), js(size);

    for (int k = 0; k < n; ++k) {
        // Row by row, column by column, strictly greater: the first element
        // of largest magnitude wins a tie. A NaN never wins.
        double d = 0.0;
        for (int i = k; i < n; ++i)
            for (int j = k; j < n; ++j)
                if (std::fabs(at(i, j)) > d) {
                    d = std::fabs(at(i, j));
                    is[k] = i;
                    js[k] = j;
                }
        // A pivot that vanishes against 1.0 (|d| <= 2^-53) counts as zero.
        if (d + 1.0 == 1.0)
            return result;
        if (is[k] != k)
            for (int j = 0; j < n; ++j)
                std::swap(at(k, j), at(is[k], j));
        if (js[k] != k)
            for (int i = 0; i < n; ++i)
                std::swap(at(i, k), at(i, js[k]));
        at(k, k) = 1.0 / at(k, k);
        for (int j = 0; j < n; ++j)
            if (j != k)
                at(k, j) = at(k, j) * at(k, k);
        // Column k keeps its old values until every other element is updated.
        for (int i = 0; i < n; ++i)
            if (i != k)
                for (int j = 0; j < n; ++j)
                    if (j != k)
                        at(i, j) = at(i, j) - at(i, k) * at(k, j);
        for (int i = 0; i < n; ++i)
            if (i != k)
                at(i, k) = -at(i, k) * at(k, k);
    }
    // Row exchanges of the elimination become column exchanges of the
    // inverse and vice versa, undone in reverse order.
    for (int k = n - 1; k >= 0; --k) {
        if (js[k] != k)
            for (int j = 0; j < n; ++j)
                std::swap(at(k, j), at(js[k], j));
        if (is[k] != k)
            for (int i = 0; i < n; ++i)
                std::swap(at(i, k), at(i, is[k]));
    }
    // An infinite entry passes the pivot test and overflow can occur on the
    // way; callers combine poses with every element unchecked, so a result
    // that is not finite is reported like a singular one.
    for (double v : a)
        if (!std::isfinite(v))
            return result;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            result.data[i][j] = at(i, j);
    if (ok)
        *ok = true;
    return result;
}
