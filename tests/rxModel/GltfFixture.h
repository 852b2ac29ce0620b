// A one-triangle glTF model with a tag, in a folder of its own, to be bent into shape
// by each test: the document is JSON that a test edits before writing it out.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "TempDir.h"
#include "rxModel.h"

// Vertices (0,0,0), (1,0,0), (0,1,0) as floats, then the indices 0, 1, 2 as uint16.
inline std::string TriangleBin() {
  const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const uint16_t indices[3] = {0, 1, 2};
  std::string bytes(reinterpret_cast<const char*>(positions), sizeof positions);
  bytes.append(reinterpret_cast<const char*>(indices), sizeof indices);
  return bytes;
}

inline nlohmann::json TriangleDoc() {
  return nlohmann::json::parse(R"({
    "asset": {"version": "2.0"},
    "buffers": [{"uri": "tri.bin", "byteLength": 42}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                    {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"},
                  {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
    "nodes": [{"name": "body", "mesh": 0, "children": [1]},
              {"name": "tag_top", "translation": [0, 2, 0]}],
    "scenes": [{"nodes": [0]}],
    "scene": 0
  })");
}

// <temp>/models holds the model and its buffer; <temp> itself lies outside the model's
// folder.
class ModelFolder {
 public:
  ModelFolder() {
    std::filesystem::create_directory(Dir());
    WriteFile(File("tri.bin"), TriangleBin());
  }
  std::string Dir() const { return root.File("models"); }
  std::string File(const std::string& name) const { return Dir() + "/" + name; }
  std::string Outside(const std::string& name) const { return root.File(name); }
  std::string Write(const nlohmann::json& doc, const std::string& name = "model.gltf") const {
    WriteFile(File(name), doc.dump());
    return File(name);
  }

  TempDir root;
};
