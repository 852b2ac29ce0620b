#include "options.h"

#include <gtest/gtest.h>

#include <vector>

namespace towerhost {
namespace {

bool Parse(std::vector<const char*> args, HostOptions& options, std::string& error) {
  args.insert(args.begin(), "towerhost");
  return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(Options, DefaultsWithoutArguments) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(Parse({}, o, error));
  EXPECT_EQ(o.towers, 4);
  EXPECT_EQ(o.frames, 240);
  EXPECT_FALSE(o.console);
  EXPECT_TRUE(o.plugin.empty());
  EXPECT_FALSE(o.help);
}

TEST(Options, EveryOptionInBothSpellings) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--towers", "7", "--frames=30", "--out", "o", "--plugin=p.so", "--models", "m",
                     "--script", "s.txt", "--help"},
                    o, error))
      << error;
  EXPECT_EQ(o.towers, 7);
  EXPECT_EQ(o.frames, 30);
  EXPECT_EQ(o.out, "o");
  EXPECT_EQ(o.plugin, "p.so");
  EXPECT_EQ(o.models, "m");
  EXPECT_EQ(o.script, "s.txt");
  EXPECT_TRUE(o.help);
}

TEST(Options, RefusesBadCommandLines) {
  const struct {
    std::vector<const char*> args;
    const char* reason;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"towers"}, "unknown option"},
      {{"--towers"}, "needs a value"},
      {{"--towers", "0"}, "from 1 to 100000"},
      {{"--towers", "100001"}, "from 1 to 100000"},
      {{"--towers", "3x"}, "not '3x'"},
      {{"--towers", "-2"}, "from 1"},
      {{"--towers", "99999999999999999999"}, "whole number"},
      {{"--frames", ""}, "whole number"},
      {{"--out", ""}, "non-empty"},
      {{"--console=yes"}, "takes no value"},
      {{"--console", "--script", "f"}, "exclude each other"},
  };
  for (const auto& c : cases) {
    HostOptions o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, o, error)) << c.args[0];
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.args[0] << ": " << error;
  }
}

TEST(Options, UsageListsEveryOption) {
  const std::string usage = UsageText("towerhost");
  for (const char* name : {"--towers N", "--frames N", "--out DIR", "--plugin PATH", "--models DIR",
                           "--console", "--script FILE", "--help"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace towerhost
