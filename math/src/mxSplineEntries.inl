// The nine spline entries of a routine set, included inside the set's namespace after its
// hermite, catmullRom and baryCentric templates over the 2-, 3- and 4-vector.
MXVECTOR2* MXVec2Hermite(MXVECTOR2* out, const MXVECTOR2* v1, const MXVECTOR2* t1, const MXVECTOR2* v2,
                         const MXVECTOR2* t2, float s) {
  return hermite<MXVECTOR2, 2>(out, v1, t1, v2, t2, s);
}
MXVECTOR3* MXVec3Hermite(MXVECTOR3* out, const MXVECTOR3* v1, const MXVECTOR3* t1, const MXVECTOR3* v2,
                         const MXVECTOR3* t2, float s) {
  return hermite<MXVECTOR3, 3>(out, v1, t1, v2, t2, s);
}
MXVECTOR4* MXVec4Hermite(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* t1, const MXVECTOR4* v2,
                         const MXVECTOR4* t2, float s) {
  return hermite<MXVECTOR4, 4>(out, v1, t1, v2, t2, s);
}
MXVECTOR2* MXVec2CatmullRom(MXVECTOR2* out, const MXVECTOR2* v0, const MXVECTOR2* v1, const MXVECTOR2* v2,
                            const MXVECTOR2* v3, float s) {
  return catmullRom<MXVECTOR2, 2>(out, v0, v1, v2, v3, s);
}
MXVECTOR3* MXVec3CatmullRom(MXVECTOR3* out, const MXVECTOR3* v0, const MXVECTOR3* v1, const MXVECTOR3* v2,
                            const MXVECTOR3* v3, float s) {
  return catmullRom<MXVECTOR3, 3>(out, v0, v1, v2, v3, s);
}
MXVECTOR4* MXVec4CatmullRom(MXVECTOR4* out, const MXVECTOR4* v0, const MXVECTOR4* v1, const MXVECTOR4* v2,
                            const MXVECTOR4* v3, float s) {
  return catmullRom<MXVECTOR4, 4>(out, v0, v1, v2, v3, s);
}
MXVECTOR2* MXVec2BaryCentric(MXVECTOR2* out, const MXVECTOR2* v1, const MXVECTOR2* v2, const MXVECTOR2* v3,
                             float f, float g) {
  return baryCentric<MXVECTOR2, 2>(out, v1, v2, v3, f, g);
}
MXVECTOR3* MXVec3BaryCentric(MXVECTOR3* out, const MXVECTOR3* v1, const MXVECTOR3* v2, const MXVECTOR3* v3,
                             float f, float g) {
  return baryCentric<MXVECTOR3, 3>(out, v1, v2, v3, f, g);
}
MXVECTOR4* MXVec4BaryCentric(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* v2, const MXVECTOR4* v3,
                             float f, float g) {
  return baryCentric<MXVECTOR4, 4>(out, v1, v2, v3, f, g);
}
