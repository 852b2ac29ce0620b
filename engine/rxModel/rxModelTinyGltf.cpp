// The one compilation of the glTF loader's implementation, built with this project's
// compiler and sanitizers (its own warnings are switched off in CMakeLists.txt).
#define TINYGLTF_IMPLEMENTATION
#include "rxModelTinyGltf.h"
