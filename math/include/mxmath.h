// Single-precision vector and matrix math.
#pragma once

// Three floats x, y, z (12 bytes).
struct MXVECTOR3 {
  float x, y, z;
};

// Sixteen floats stored row after row (64 bytes). Points are row vectors multiplied
// from the left (v' = v * M); the translation of an affine matrix is row 4.
struct MXMATRIX {
  float m[4][4];
};
