#!/usr/bin/env bash
# The one list of Debian packages the project needs, and their installation.
# Installs what is missing when run as root; otherwise prints the apt-get line and fails.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ clang-14 libclang-rt-14-dev python3
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # model library (header-only glTF loader and its JSON parser)
  libtinygltf-dev nlohmann-json3-dev
  # math peers measured beside the math library
  libglm-dev libeigen3-dev libcglm-dev
  # host pictures: offscreen OpenGL ES 3 on Mesa's software rasterizer, PNG files
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri libpng-dev
  # the 32-bit x86 build (GoogleTest built from its sources), its 32-bit libraries of the
  # host pictures, and the user-mode emulator that runs it and the processor matrix
  g++-multilib googletest libpng-dev:i386 libegl-dev:i386 libgles-dev:i386 libegl-mesa0:i386
  libgl1-mesa-dri:i386 qemu-user
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The :i386 packages need the architecture known to dpkg.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
