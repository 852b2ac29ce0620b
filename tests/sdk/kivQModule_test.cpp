#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AllocFailureSweep.h"
#include "ConsoleCapture.h"
#include "kivQModule.h"

namespace {

int32_t someInt = 1;

kivParam* NewParam(const char* name) { return KIV_NEW kivParam(name, PARAM_INT, &someInt); }

std::vector<std::string> Names(kivModuleClass& module) {
  std::vector<std::string> names;
  for (int i = 0; kivParam* p = module.GetParam(i); ++i) names.push_back(p->name);
  return names;
}

// Records the order of its deletion.
struct Logged : kivParam {
  Logged(const char* name, std::vector<std::string>* log) : kivParam(name, PARAM_OPAQUE, nullptr), log(log) {}
  ~Logged() override { log->push_back(name); }
  std::vector<std::string>* log;
};

TEST(Module, Construction) {
  kivModuleClass module;
  EXPECT_EQ(module.ID, 1u);
  EXPECT_EQ(module.flags, 1);
  EXPECT_EQ(module.params, nullptr);
  EXPECT_EQ(module.paramCount, 0);
  EXPECT_EQ(module.GetRefCount(), 0);
  EXPECT_STREQ(module.GetName(), "");
  EXPECT_EQ(module.GetNext(), nullptr);
}

TEST(Module, ArrayGrowsByTenAndKeepsItsParameters) {
  kivModuleClass module;
  const kivMemLeakStats start = [] {
    kivMemLeakStats s;
    kivMemLeak_GetStats(&s);
    return s;
  }();
  auto arraysTaken = [&] {
    kivMemLeakStats s;
    kivMemLeak_GetStats(&s);
    return s.allocs - start.allocs - static_cast<unsigned long long>(module.paramCount);  // minus the params
  };
  std::vector<kivParam*> added;
  kivParam** firstArray = nullptr;
  for (int i = 1; i <= 21; ++i) {
    const std::string name = "p" + std::to_string(i);
    added.push_back(NewParam(name.c_str()));
    module.AddParam(added.back());
    if (i == 1) firstArray = module.params;
    const unsigned long long expected = i <= 10 ? 1 : i <= 20 ? 2 : 3;
    EXPECT_EQ(arraysTaken(), expected) << "after parameter " << i;
  }
  EXPECT_NE(module.params, firstArray);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(module.GetParam(i), added[i]);
  for (int i = 21; i < 30; ++i) EXPECT_EQ(module.params[i], nullptr) << "room beyond the count is null";
  const char* file = nullptr;
  ASSERT_TRUE(kivMemLeak_FindBlock(module.params, &file, nullptr));
  EXPECT_TRUE(std::string(file).ends_with("kivQModule.h")) << file;
}

TEST(Module, SortIsCaseInsensitiveWithUnderscoreFirst) {
  kivModuleClass module;
  for (const char* name : {"b", "A", "_c", "ab", "a"}) module.AddParam(NewParam(name));
  module.Create();
  const std::vector<std::string> names = Names(module);
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[0], "_c");
  EXPECT_TRUE((names[1] == "A" && names[2] == "a") || (names[1] == "a" && names[2] == "A")) << "equal names in any order";
  EXPECT_EQ(names[3], "ab");
  EXPECT_EQ(names[4], "b");
}

TEST(Module, CreateWithoutTheSortFlagKeepsTheOrder) {
  kivModuleClass module;
  module.flags = 0;
  for (const char* name : {"b", "A", "_c"}) module.AddParam(NewParam(name));
  EXPECT_EQ(module.Create(), S_OK);
  EXPECT_EQ(Names(module), (std::vector<std::string>{"b", "A", "_c"}));
  kivModuleClass empty;
  EXPECT_EQ(empty.Create(), S_OK);
}

TEST(Module, LookupByNameAndIndex) {
  kivModuleClass module;
  EXPECT_EQ(module.GetParam(0), nullptr);
  EXPECT_EQ(module.GetParam("x"), nullptr);
  kivParam* lower = NewParam("speed");
  kivParam* upper = NewParam("SPEED");
  module.AddParam(lower);
  module.AddParam(upper);
  EXPECT_EQ(module.GetParam("Speed"), lower) << "the lower index wins";
  EXPECT_EQ(module.GetParam("SPEED"), lower);
  EXPECT_EQ(module.GetParam("spee"), nullptr);
  EXPECT_EQ(module.GetParam("speeds"), nullptr);
  EXPECT_EQ(module.GetParam(-1), nullptr);
  EXPECT_EQ(module.GetParam(2), nullptr);
  EXPECT_EQ(module.GetParam(1), upper);
}

TEST(Module, PrintParamsNumbersFromOneInTwoColumns) {
  ConsoleCapture console;
  kivModuleClass module;
  module.PrintParams();
  EXPECT_EQ(console.Normal(), "");
  for (int i = 1; i <= 12; ++i) module.AddParam(NewParam(("n" + std::to_string(i)).c_str()));
  module.PrintParams();
  std::string expected;
  for (int i = 1; i <= 12; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "\n%s%d: n%d = 1", i < 10 ? " " : "", i, i);
    expected += line;
  }
  EXPECT_EQ(console.Normal(), expected);
  EXPECT_EQ(console.Messages().size(), 12u);
}

TEST(Module, SetupCopiesTextsAndChainsIDs) {
  kivModuleClass first;
  first.Setup("first", "first.txt", "mod", nullptr);
  EXPECT_EQ(first.ID, 1u);
  EXPECT_STREQ(first.GetName(), "first");
  EXPECT_STREQ(first.file, "first.txt");
  EXPECT_STREQ(first.GetModule(), "mod");

  first.ID = 5;
  kivModuleClass second;
  second.Setup("second", "", "", &first);
  EXPECT_EQ(second.ID, 6u);
  EXPECT_EQ(second.GetNext(), &first);
  second.SetNext(nullptr);
  EXPECT_EQ(second.GetNext(), nullptr);
  EXPECT_EQ(second.ID, 6u);
}

TEST(Module, LongTextsAreCutToTheirFields) {
  const std::string longText(400, 'x');
  kivModuleClass module;
  module.Setup(longText.c_str(), longText.c_str(), longText.c_str(), nullptr);
  EXPECT_EQ(std::string(module.name), longText.substr(0, 63));
  EXPECT_EQ(std::string(module.file), longText.substr(0, 255));
  EXPECT_EQ(std::string(module.moduleText), longText.substr(0, 63));
  module.SetModule(std::string(64, 'y').c_str());
  EXPECT_EQ(std::string(module.GetModule()), std::string(63, 'y'));
  EXPECT_EQ(module.file[255], '\0');
}

TEST(Module, ReferenceCountHasNoBounds) {
  kivModuleClass module;
  module.Release();
  EXPECT_EQ(module.GetRefCount(), -1);
  module.AddRef();
  module.AddRef();
  EXPECT_EQ(module.GetRefCount(), 1);
}

TEST(Module, DestructionDeletesEachParameterOnceInOrderThenTheArray) {
  std::vector<std::string> log;
  const unsigned long long live = LiveBlocks();
  {
    kivModuleClass module;
    for (const char* name : {"c", "a", "b"}) module.AddParam(KIV_NEW Logged(name, &log));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(LiveBlocks(), live);
}

TEST(Module, ModuleWithoutParametersGivesNoArrayBack) {
  kivMemLeakStats before;
  kivMemLeak_GetStats(&before);
  { kivModuleClass module; }
  kivMemLeakStats after;
  kivMemLeak_GetStats(&after);
  EXPECT_EQ(after.frees, before.frees);
  EXPECT_EQ(after.unknownFrees, before.unknownFrees);
}

TEST(Module, FailedEnlargementKeepsTheListAndDropsTheParameter) {
  ConsoleCapture console;
  std::vector<std::string> log;
  kivModuleClass module;
  for (int i = 0; i < 10; ++i) module.AddParam(NewParam(("p" + std::to_string(i)).c_str()));
  kivParam** array = module.params;
  kivParam* dropped = KIV_NEW Logged("eleventh", &log);
  kivGlobalMem_FailNth(1, 0);
  module.AddParam(dropped);
  kivGlobalMem_NoFaults();
  EXPECT_EQ(module.paramCount, 10);
  EXPECT_EQ(module.params, array);
  EXPECT_STREQ(module.GetParam(9)->name, "p9");
  EXPECT_EQ(log, (std::vector<std::string>{"eleventh"})) << "the module deletes the parameter it could not keep";
  EXPECT_NE(console.Urgent().find("AddParam() FAILED"), std::string::npos) << console.Urgent();
  size_t bytes = 0;
  ASSERT_TRUE(kivMemLeak_LastFailure(&bytes, nullptr, nullptr));
  EXPECT_EQ(bytes, 20 * sizeof(kivParam*));

  module.AddParam(NewParam("later"));
  EXPECT_EQ(module.paramCount, 11) << "a later enlargement works";
}

TEST(Module, NullParameterIsRefused) {
  ConsoleCapture console;
  kivModuleClass module;
  module.AddParam(nullptr);
  EXPECT_EQ(module.paramCount, 0);
  EXPECT_FALSE(console.Urgent().empty());
}

TEST(Module, BuildingAParameterListSurvivesEveryAllocationFailure) {
  ConsoleCapture console;
  SweepAllocFailures([](const SweepRun&) {
    kivModuleClass module;
    for (int i = 0; i < 12; ++i) module.AddParam(NewParam(("p" + std::to_string(i)).c_str()));
    EXPECT_LE(module.paramCount, 12);
    for (int i = 0; i < module.paramCount; ++i) EXPECT_NE(module.GetParam(i), nullptr);
    module.Create();
    module.PrintParams();
  });
}

TEST(Module, CopySharesTheParameters) {
  kivModuleClass module;
  module.Setup("orig", "f", "m", nullptr);
  module.AddParam(NewParam("p"));
  kivModuleClass* copy = KIV_NEW kivModuleClass(module);
  EXPECT_EQ(copy->params, module.params);
  EXPECT_STREQ(copy->GetName(), "orig");
  // Only one of the two may be destroyed: detach the copy by hand.
  copy->params = nullptr;
  copy->paramCount = 0;
  delete copy;
}

}  // namespace
