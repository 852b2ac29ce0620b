// Model files that must be refused: each with a failure status, no instance, and an
// urgent console message that names the file and the reason. None may crash, hang or
// allocate without bound (the sanitizer build runs these too).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "ConsoleCapture.h"
#include "GltfFixture.h"

namespace {

using nlohmann::json;

std::string Glb(uint32_t version, uint32_t length, uint32_t jsonLength, const std::string& body) {
  auto le = [](uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = static_cast<char>(v >> (8 * i));
    return s;
  };
  return "glTF" + le(version) + le(length) + le(jsonLength) + "JSON" + body;
}

// 28 bytes, so that a chunk after it stays 4-byte aligned.
const std::string kMinimalJson = R"({"asset":{"version":"2.0"}} )";

struct BadFile {
  const char* what;
  std::function<std::string(const ModelFolder&)> write;  // writes the model, returns its path
  const char* reason;                                    // part of the message
};

void PrintTo(const BadFile& bad, std::ostream* os) { *os << bad.what; }

std::function<std::string(const ModelFolder&)> Edit(std::function<void(json&)> edit) {
  return [edit](const ModelFolder& folder) {
    json doc = TriangleDoc();
    edit(doc);
    return folder.Write(doc);
  };
}

std::function<std::string(const ModelFolder&)> Bytes(std::string bytes, const char* name = "model.gltf") {
  return [bytes, name](const ModelFolder& folder) {
    WriteFile(folder.File(name), bytes);
    return folder.File(name);
  };
}

const BadFile kBadFiles[] = {
    {"not glTF at all", Bytes("hello, this is no model"), "not valid JSON"},
    {"an empty file", Bytes(""), "not valid JSON"},
    {"truncated JSON", [](const ModelFolder& f) {
       const std::string text = TriangleDoc().dump();
       WriteFile(f.File("model.gltf"), text.substr(0, text.size() / 2));
       return f.File("model.gltf");
     },
     "not valid JSON"},
    {"a JSON array", Bytes("[1, 2, 3]"), "root is not an object"},
    {"no asset version", Bytes(R"({"asset":{}})"), "asset"},
    {"GLB shorter than its header", Bytes(std::string("glTF\x02\0\0\0", 8), "model.glb"), "shorter than"},
    {"GLB version 1", Bytes(Glb(1, 20 + 28, 28, kMinimalJson), "model.glb"), "version 1"},
    {"GLB JSON chunk length near 4 GiB", Bytes(Glb(2, 20 + 28, 0xFFFFFFF0u, kMinimalJson), "model.glb"),
     "does not fit"},
    {"GLB length beyond the file", Bytes(Glb(2, 4096, 28, kMinimalJson), "model.glb"), "the file has"},
    {"GLB BIN chunk beyond the file",
     Bytes(Glb(2, 20 + 28 + 8 + 4, 28, kMinimalJson) + std::string("\xF0\0\0\0BIN\0", 8) + "abcd", "model.glb"),
     "runs past the end"},
    {"tens of thousands of nested arrays in extras",
     Bytes(R"({"asset":{"version":"2.0"},"extras":)" + std::string(50000, '[') + std::string(50000, ']') + "}"),
     "nests deeper"},
    {"an index out of range", Edit([](json& d) { d["accessors"][0]["count"] = 2; }), "out of range"},
    {"a missing buffer file", Edit([](json& d) { d["buffers"][0]["uri"] = "missing.bin"; }), "missing.bin"},
    {"a buffer shorter than declared", Edit([](json& d) { d["buffers"][0]["byteLength"] = 100; }), "mismatch"},
    {"a buffer view past its buffer", Edit([](json& d) { d["bufferViews"][1]["byteOffset"] = 40; }),
     "past the end of buffer 0"},
    {"an accessor past its view", Edit([](json& d) { d["accessors"][0]["count"] = 4; }),
     "past the end of buffer view 0"},
    {"an accessor without a view", Edit([](json& d) { d["accessors"][0].erase("bufferView"); }),
     "no valid buffer view"},
    {"an absurd element count", Edit([](json& d) { d["accessors"][0]["count"] = 1000000000000ull; }), "more than"},
    {"a stride shorter than an element", Edit([](json& d) { d["bufferViews"][0]["byteStride"] = 4; }), "stride"},
    {"positions of the wrong type", Edit([](json& d) { d["accessors"][0]["type"] = "SCALAR"; }), "wrong element type"},
    {"a primitive without positions",
     Edit([](json& d) { d["meshes"][0]["primitives"][0]["attributes"] = {{"NORMAL", 0}}; }), "no POSITION"},
    {"lines instead of triangles", Edit([](json& d) { d["meshes"][0]["primitives"][0]["mode"] = 1; }), "mode 1"},
    {"a buffer URI above the model's folder", Edit([](json& d) { d["buffers"][0]["uri"] = "../outside.bin"; }),
     "outside.bin"},
    {"a percent-encoded URI above the folder", Edit([](json& d) { d["buffers"][0]["uri"] = "%2e%2e/outside.bin"; }),
     "outside.bin"},
    {"an absolute buffer URI", Edit([](json& d) { d["buffers"][0]["uri"] = "/etc/hostname"; }), "/etc/hostname"},
    {"a symbolic link out of the folder",
     [](const ModelFolder& f) {
       std::filesystem::create_symlink(f.Outside("outside.bin"), f.File("link.bin"));
       json doc = TriangleDoc();
       doc["buffers"][0]["uri"] = "link.bin";
       return f.Write(doc);
     },
     "link.bin"},
    {"a buffer URI naming a folder",
     [](const ModelFolder& f) {
       std::filesystem::create_directory(f.File("sub"));
       json doc = TriangleDoc();
       doc["buffers"][0]["uri"] = "sub";
       return f.Write(doc);
     },
     "not a regular file"},
    {"a node cycle", Edit([](json& d) { d["nodes"][1]["children"] = {0}; }), "reached twice"},
    {"a child that does not exist", Edit([](json& d) { d["nodes"][0]["children"] = {5}; }), "node 5 does not exist"},
    {"a mesh that does not exist", Edit([](json& d) { d["nodes"][0]["mesh"] = 3; }), "mesh 3"},
    {"a default scene that does not exist", Edit([](json& d) { d["scene"] = 4; }), "default scene 4"},
    {"a material that does not exist", Edit([](json& d) { d["meshes"][0]["primitives"][0]["material"] = 2; }),
     "material 2"},
    {"a translation beyond float range", Edit([](json& d) { d["nodes"][1]["translation"] = {1e39, 0, 0}; }),
     "non-finite transform"},
    {"a matrix of the wrong size", Edit([](json& d) { d["nodes"][1]["matrix"] = {1, 0, 0, 1}; }), "malformed"},
    {"an image stored in a buffer view",
     Edit([](json& d) { d["images"] = json::array({{{"bufferView", 1}, {"mimeType", "image/png"}}}); }),
     "images stored in buffer views"},
    {"a model path that is a folder",
     [](const ModelFolder& f) {
       std::filesystem::create_directory(f.File("model.gltf"));
       return f.File("model.gltf");
     },
     "not a regular file"},
    {"a model larger than the size limit",
     [](const ModelFolder& f) {
       const std::string path = f.File("model.gltf");
       const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
       EXPECT_EQ(ftruncate(fd, off_t(65) << 20), 0);  // sparse: costs no disk
       close(fd);
       return path;
     },
     "larger than"},
    {"a model that does not exist", [](const ModelFolder& f) { return f.File("nothing.gltf"); }, "nothing.gltf"},
};

class BadModelFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadModelFile, IsRefusedWithAMessage) {
  const BadFile& bad = GetParam();
  ModelFolder folder;
  WriteFile(folder.Outside("outside.bin"), TriangleBin());
  const std::string path = bad.write(folder);
  ConsoleCapture console;
  int sentinel;
  void* model = &sentinel;
  EXPECT_LT(kivQModel_LoadModel(path.c_str(), &model), 0);
  EXPECT_EQ(model, nullptr);
  const std::string& message = console.Urgent();
  EXPECT_EQ(message.rfind("\nrxModel: cannot load '", 0), 0u) << message;
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find(bad.reason), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Refused, BadModelFile, ::testing::ValuesIn(kBadFiles),
                         [](const ::testing::TestParamInfo<BadFile>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p)
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           return name;
                         });

TEST(BadModelMemory, BuffersNeedAFolderAndStayInIt) {
  const std::string text = TriangleDoc().dump();
  ConsoleCapture console;
  void* model = nullptr;
  EXPECT_LT(kivQModel_LoadModelFromMemory(text.data(), text.size(), nullptr, &model), 0)
      << "no folder: no external buffer may be read";
  EXPECT_EQ(model, nullptr);
  EXPECT_NE(console.Urgent().find("tri.bin"), std::string::npos) << console.Urgent();

  ModelFolder folder;
  EXPECT_EQ(kivQModel_LoadModelFromMemory(text.data(), text.size(), folder.Dir().c_str(), &model), S_OK);
  kivQModel_DestroyModel(&model);
  EXPECT_LT(kivQModel_LoadModelFromMemory(text.data(), text.size(), folder.File("gone").c_str(), &model), 0);
  EXPECT_LT(kivQModel_LoadModelFromMemory(nullptr, 10, nullptr, &model), 0);
  EXPECT_LT(kivQModel_LoadModel(nullptr, &model), 0);
  EXPECT_LT(kivQModel_LoadModel(folder.File("model.gltf").c_str(), nullptr), 0);
}

}  // namespace
