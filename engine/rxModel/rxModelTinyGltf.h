// The glTF loader as this library configures it. Every file that includes it sees the
// same switches: no image decoding or encoding, and no reading of external images.
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>
