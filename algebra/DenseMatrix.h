#pragma once

// A rows x cols matrix of doubles; element (i, j) is data[i][j]. The matrix
// owns one array per row plus the array of row pointers; a matrix with no
// rows or no columns has data == nullptr. A new matrix's elements are NOT
// initialised: call setZero() or write every element.
class DenseMatrix {
public:
    DenseMatrix() = default;
    // Negative sizes count as 0.
    DenseMatrix(int rows, int cols);
    DenseMatrix(const DenseMatrix &other);
    DenseMatrix(DenseMatrix &&other) noexcept;
    DenseMatrix &operator=(const DenseMatrix &other);
    DenseMatrix &operator=(DenseMatrix &&other) noexcept;
    ~DenseMatrix();

    void setZero();

    // Gauss-Jordan inversion in place with full pivoting; this matrix is not
    // changed. A pivot whose magnitude vanishes against 1.0 (d + 1.0 == 1.0)
    // means singular. For a singular or non-square matrix, or one whose
    // inverse is not finite (infinite or NaN input, overflow), the result has
    // the input's shape and is all zeros, and *ok (when given) is false;
    // otherwise *ok is true. The 0 x 0 matrix inverts to itself.
    DenseMatrix inverse(bool *ok = nullptr) const;

    int rows = 0;
    int cols = 0;
    double **data = nullptr;

private:
    void allocate(int rows, int cols);
    void copyElementsFrom(const DenseMatrix &other);
    void release() noexcept;
    void swap(DenseMatrix &other) noexcept;
};
