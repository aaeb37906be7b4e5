#include "algebra/DenseMatrix.h"

#include <cmath>
#include <utility>
#include <vector>

DenseMatrix::DenseMatrix(int rows, int cols) { allocate(rows, cols); }

DenseMatrix::DenseMatrix(const DenseMatrix &other)
{
    allocate(other.rows, other.cols);
    for (int i = 0; i < rows && data; ++i)
        for (int j = 0; j < cols; ++j)
            data[i][j] = other.data[i][j];
}

DenseMatrix &DenseMatrix::operator=(const DenseMatrix &other)
{
    if (this == &other)
        return *this;
    release();
    allocate(other.rows, other.cols);
    for (int i = 0; i < rows && data; ++i)
        for (int j = 0; j < cols; ++j)
            data[i][j] = other.data[i][j];
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
    data = new double *[rows];
    for (int i = 0; i < rows; ++i)
        data[i] = new double[cols];
}

void DenseMatrix::release()
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

    // Gauss-Jordan elimination in place with full pivoting, on a working copy.
    std::vector<double> a(static_cast<size_t>(n) * n);
    auto at = [&a, n](int i, int j) -> double & { return a[static_cast<size_t>(i) * n + j]; };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            at(i, j) = data[i][j];
    std::vector<int> is(n), js(n);

    for (int k = 0; k < n; ++k) {
        // The first element of largest magnitude in row-by-row order wins.
        double d = 0.0;
        for (int i = k; i < n; ++i)
            for (int j = k; j < n; ++j)
                if (std::fabs(at(i, j)) > d) {
                    d = std::fabs(at(i, j));
                    is[k] = i;
                    js[k] = j;
                }
        // Any pivot that vanishes against 1.0 (|d| <= 2^-53) counts as zero.
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
    for (int k = n - 1; k >= 0; --k) {
        if (js[k] != k)
            for (int j = 0; j < n; ++j)
                std::swap(at(k, j), at(js[k], j));
        if (is[k] != k)
            for (int i = 0; i < n; ++i)
                std::swap(at(i, k), at(i, is[k]));
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            result.data[i][j] = at(i, j);
    if (ok)
        *ok = true;
    return result;
}
