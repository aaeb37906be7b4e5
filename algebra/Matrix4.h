#pragma once

// A 4 x 4 matrix of doubles, row-major: element (r, c) is row r, column c, at
// data()[4 * r + c]. A pose matrix is [R t; 0 0 0 1]. Constructed with all
// sixteen elements 0. OpenGL reads matrices column by column, so a pose matrix
// is handed to glMultMatrixd transposed (translation then in elements 12..14).
class Matrix4 {
public:
    Matrix4() = default;

    double &operator()(int row, int col) { return m_m[4 * row + col]; }
    double operator()(int row, int col) const { return m_m[4 * row + col]; }
    double *data() { return m_m; }
    const double *data() const { return m_m; }

    Matrix4 transposed() const
    {
        Matrix4 t;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                t.m_m[4 * r + c] = m_m[4 * c + r];
        return t;
    }

private:
    double m_m[16] = {};
};

// Exact, all sixteen elements.
inline bool operator==(const Matrix4 &a, const Matrix4 &b)
{
    for (int i = 0; i < 16; ++i)
        if (a.data()[i] != b.data()[i])
            return false;
    return true;
}
inline bool operator!=(const Matrix4 &a, const Matrix4 &b) { return !(a == b); }
