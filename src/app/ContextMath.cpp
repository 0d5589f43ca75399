#include "app/ContextMath.h"

#include "app/Camera.h"

namespace {

float at(const Mat4& m, int row, int column) { return m.m[row * 4 + column]; }

// Determinant of the 3x3 minor left when `skipRow` and `skipColumn` are
// removed, expanded along the minor's first row.
float minor3(const Mat4& m, int skipRow, int skipColumn) {
    int rows[3];
    int columns[3];
    for (int i = 0, r = 0, c = 0; i < 4; ++i) {
        if (i != skipRow) rows[r++] = i;
        if (i != skipColumn) columns[c++] = i;
    }
    const float a = at(m, rows[0], columns[0]), b = at(m, rows[0], columns[1]), c = at(m, rows[0], columns[2]);
    const float d = at(m, rows[1], columns[0]), e = at(m, rows[1], columns[1]), f = at(m, rows[1], columns[2]);
    const float g = at(m, rows[2], columns[0]), h = at(m, rows[2], columns[1]), i = at(m, rows[2], columns[2]);
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

float cofactor(const Mat4& m, int row, int column) {
    const float minor = minor3(m, row, column);
    return ((row + column) & 1) ? -minor : minor;
}

}  // namespace

Mat4 invert4x4(const Mat4& m) {
    float cofactors[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) cofactors[r * 4 + c] = cofactor(m, r, c);

    float det = 0.0f;
    for (int c = 0; c < 4; ++c) det += at(m, 0, c) * cofactors[c];
    const float invDet = 1.0f / det;

    // The adjugate is the transposed cofactor matrix.
    Mat4 inverse;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) inverse.m[r * 4 + c] = cofactors[c * 4 + r] * invDet;
    return inverse;
}

void deriveContext(ContextBuffer& kept, const ContextBuffer& incoming) {
    kept.time = incoming.time;
    kept.frame = incoming.frame;
    kept.elapsedTime = incoming.elapsedTime;
    kept.resolution = incoming.resolution;
    kept.invResolution = {1.0f / kept.resolution.x, 1.0f / kept.resolution.y};

    kept.lastViewMatrix = kept.viewMatrix;
    kept.lastProjectionMatrix = kept.projectionMatrix;
    kept.lastViewProjectionMatrix = kept.viewProjectionMatrix;

    kept.viewMatrix = incoming.viewMatrix;
    kept.projectionMatrix = incoming.projectionMatrix;
    kept.viewProjectionMatrix = multiply4x4(kept.viewMatrix, kept.projectionMatrix);
    kept.invViewMatrix = invert4x4(kept.viewMatrix);
    kept.invProjectionMatrix = invert4x4(kept.projectionMatrix);
    kept.invViewProjectionMatrix = invert4x4(kept.viewProjectionMatrix);

    kept.aspectRatio = kept.resolution.x * kept.invResolution.y;
}
