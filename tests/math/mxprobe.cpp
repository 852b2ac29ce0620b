// Runs one first call of the shipped library and prints its debugger lines and result.
// With --no-sink the library's own default output is left in place.
#include <cstdio>
#include <cstring>

#include "mxmath.h"

static void sink(const char* line, void*) { std::printf("sink: %s", line); }

int main(int argc, char** argv) {
  if (!(argc > 1 && std::strcmp(argv[1], "--no-sink") == 0)) MXSetDebugSink(sink, nullptr);
  MXMATRIX t, s, m;
  MXMatrixTranslation(&t, 1, 2, 3);
  MXMatrixScaling(&s, 2, 2, 2);
  MXMatrixMultiply(&m, &t, &s);
  const MXVECTOR3 origin = {0, 0, 0};
  MXVECTOR3 r;
  MXVec3TransformCoord(&r, &origin, &m);
  std::fflush(stderr);
  std::printf("result %g %g %g\n", r.x, r.y, r.z);
  return 0;
}
