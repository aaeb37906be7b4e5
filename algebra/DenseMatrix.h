#pragma once

// A rows x cols matrix of doubles; element (i, j) is data[i][j]. The matrix
// owns one array per row plus the array of row pointers; a matrix with no
// rows or no columns has data == nullptr. A new matrix's elements are NOT
// initialised: call setZero() or write every element.
class DenseMatrix {
public:
    DenseMatrix() = default;
    DenseMatrix(int rows, int cols);
    DenseMatrix(const DenseMatrix &other);
    DenseMatrix &operator=(const DenseMatrix &other);
    ~DenseMatrix();

    void setZero();

    // Gauss-Jordan inversion with full pivoting. A pivot whose magnitude
    // vanishes against 1.0 (d + 1.0 == 1.0) means singular. For a singular or
    // non-square matrix the result has the input's shape and is all zeros, and
    // *ok (when given) is set to false.
    DenseMatrix inverse(bool *ok = nullptr) const;

    int rows = 0;
    int cols = 0;
    double **data = nullptr;

private:
    void allocate(int rows, int cols);
    void release();
};
