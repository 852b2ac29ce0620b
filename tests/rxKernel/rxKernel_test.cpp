#include "rxKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ConsoleCapture.h"

namespace {

TEST(Console, TextGoesOutExactlyAsFormattedAndUrgentIsToldApart) {
  ConsoleCapture console;
  kivConsole_Print("\n%2d: %s = %s", 3, "name", "value");
  kivConsole_UrgentPrint("%s", "kivActTowerClass::LoadLODs() FAILED");
  kivConsole_Print("%s", std::string(3000, 'l').c_str());
  ASSERT_EQ(console.Messages().size(), 3u);
  EXPECT_FALSE(console.Messages()[0].urgent);
  EXPECT_EQ(console.Messages()[0].text, "\n 3: name = value");
  EXPECT_TRUE(console.Messages()[1].urgent);
  EXPECT_EQ(console.Urgent(), "kivActTowerClass::LoadLODs() FAILED");
  EXPECT_EQ(console.Messages()[2].text.size(), 3000u) << "long messages are not cut";
}

TEST(Console, WithoutASinkNormalGoesToStdoutAndUrgentToStderr) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  kivConsole_Print("\nplain %d", 1);
  kivConsole_UrgentPrint("\nurgent %d", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nurgent 2");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nplain 1");
}

TEST(ConsoleVar, FloatDefaultWithSuffix) {
  kivVariable* var = kivConsole_GetVar("LOD_range_test", PARAM_FLOAT, "40.0f", nullptr);
  ASSERT_NE(var, nullptr);
  EXPECT_EQ(var->type, PARAM_FLOAT);
  EXPECT_EQ(var->value, 40.0f);
  float second;
  std::memcpy(&second, reinterpret_cast<const char*>(var) + 4, sizeof second);
  EXPECT_EQ(second, 40.0f) << "the second 32-bit word";
}

TEST(ConsoleVar, RegisteringAgainReturnsTheSameRecordUnchanged) {
  kivVariable* first = kivConsole_GetVar("again", PARAM_FLOAT, "1", nullptr);
  ASSERT_EQ(kivConsole_SetVar("again", "2.5"), 1);
  kivVariable* second = kivConsole_GetVar("AGAIN", PARAM_INT, "9", nullptr);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->type, PARAM_FLOAT);
  EXPECT_EQ(second->value, 2.5f);
  EXPECT_EQ(kivConsole_FindVar("Again"), first);
  EXPECT_EQ(kivConsole_FindVar("nope"), nullptr);
}

TEST(ConsoleVar, SetFollowsInTheRecordAndTheText) {
  kivVariable* var = kivConsole_GetVar("follow", PARAM_FLOAT, "40.0f", nullptr);
  EXPECT_EQ(kivConsole_SetVar("follow", " 12.5 "), 1);
  EXPECT_EQ(var->value, 12.5f);
  char text[16];
  ASSERT_EQ(kivConsole_GetVarText("follow", text, sizeof text), 1);
  EXPECT_STREQ(text, " 12.5 ");
  char small[4];
  kivConsole_GetVarText("follow", small, sizeof small);
  EXPECT_STREQ(small, " 12") << "cut to the buffer";
  EXPECT_EQ(kivConsole_GetVarText("nope", text, sizeof text), 0);
}

TEST(ConsoleVar, BadTextIsRefusedAndTheValueStays) {
  ConsoleCapture console;
  kivVariable* var = kivConsole_GetVar("refuse", PARAM_FLOAT, "3", nullptr);
  for (const char* bad : {"abc", "1e99", "", "   ", "nan", "inf", "1.5x", "1 2", "-1e39"}) {
    console.Clear();
    EXPECT_EQ(kivConsole_SetVar("refuse", bad), 0) << bad;
    EXPECT_EQ(var->value, 3.0f) << bad;
    EXPECT_NE(console.Urgent().find("refuse"), std::string::npos) << bad;
  }
  EXPECT_EQ(kivConsole_SetVar("refuse", nullptr), 0);
  EXPECT_EQ(kivConsole_SetVar("no such variable", "1"), 0);
  char text[8];
  kivConsole_GetVarText("refuse", text, sizeof text);
  EXPECT_STREQ(text, "3");
}

TEST(ConsoleVar, BadDefaultIsReportedAndStartsAtZero) {
  ConsoleCapture console;
  kivVariable* var = kivConsole_GetVar("baddefault", PARAM_FLOAT, "forty", nullptr);
  ASSERT_NE(var, nullptr);
  EXPECT_EQ(var->value, 0.0f);
  EXPECT_NE(console.Urgent().find("baddefault"), std::string::npos);
  EXPECT_EQ(kivConsole_GetVar(nullptr, PARAM_FLOAT, "1", nullptr), nullptr);
  EXPECT_EQ(kivConsole_GetVar("", PARAM_FLOAT, "1", nullptr), nullptr);
}

std::vector<std::string> seen;
int AcceptBelowTen(char* name, char* text) {
  seen.push_back(std::string(name) + "=" + text);
  return std::atof(text) < 10 ? 1 : 0;
}

TEST(ConsoleVar, CallbackSeesNameAndNewTextAndMayRefuse) {
  ConsoleCapture console;
  seen.clear();
  kivVariable* var = kivConsole_GetVar("guarded", PARAM_INT, "1", &AcceptBelowTen);
  EXPECT_TRUE(seen.empty()) << "not called at registration";
  EXPECT_EQ(kivConsole_SetVar("guarded", "5"), 1);
  EXPECT_EQ(var->value, 5.0f);
  EXPECT_EQ(kivConsole_SetVar("guarded", "50"), 0);
  EXPECT_EQ(var->value, 5.0f);
  EXPECT_EQ(kivConsole_SetVar("guarded", "x"), 0) << "bad text never reaches the callback";
  EXPECT_EQ(seen, (std::vector<std::string>{"guarded=5", "guarded=50"}));
}

TEST(ConsoleVar, ListPrintsEveryVariableInOrderOfRegistration) {
  kivConsole_GetVar("list_a", PARAM_STRING, "hello there", nullptr);
  kivConsole_GetVar("list_b", PARAM_INT2, "1 2", nullptr);
  ConsoleCapture console;
  kivConsole_ListVars();
  const std::string& out = console.Normal();
  const size_t a = out.find("\nlist_a = hello there");
  const size_t b = out.find("\nlist_b = 1 2");
  ASSERT_NE(a, std::string::npos) << out;
  ASSERT_NE(b, std::string::npos) << out;
  EXPECT_LT(a, b);
}

struct ParseCase {
  PARAM_TYPE type;
  const char* text;
  bool ok;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << "type " << c.type << " '" << c.text << "'"; }

class ParseValue : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseValue, AcceptsOnlyTheTypesForm) {
  const ParseCase& c = GetParam();
  kivConsoleValue value;
  EXPECT_EQ(kivConsole_ParseValue(c.type, c.text, &value), c.ok ? 1 : 0) << "type " << c.type << " '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseValue,
    testing::Values(ParseCase{PARAM_FLOAT, "40.0f", true}, ParseCase{PARAM_FLOAT, "-0.5", true},
                    ParseCase{PARAM_FLOAT, "1e-50", true}, ParseCase{PARAM_FLOAT, "3.4e38", true},
                    ParseCase{PARAM_FLOAT, "1e99", false}, ParseCase{PARAM_FLOAT, "abc", false},
                    ParseCase{PARAM_FLOAT, "", false}, ParseCase{PARAM_FLOAT, "1ff", false},
                    ParseCase{PARAM_FLOAT, "f", false}, ParseCase{PARAM_INT, "-2147483648", true},
                    ParseCase{PARAM_INT, "2147483648", false}, ParseCase{PARAM_INT, "1.5", false},
                    ParseCase{PARAM_INT, "12f", false}, ParseCase{PARAM_BYTE4, "255 128 0 0", true},
                    ParseCase{PARAM_BYTE4, "256 0 0 0", false}, ParseCase{PARAM_BYTE4, "-1 0 0 0", false},
                    ParseCase{PARAM_BYTE4, "1 2 3", false}, ParseCase{PARAM_FLOAT3, "1 2.5 -3", true},
                    ParseCase{PARAM_FLOAT3, "1 2", false}, ParseCase{PARAM_FLOAT3, "1 2 3 4", false},
                    ParseCase{PARAM_FLOAT2, "1,2", false}, ParseCase{PARAM_INT5, "1 2 3 4 5", true},
                    ParseCase{PARAM_INT2, "7\t-1", true}, ParseCase{PARAM_STRING, "", true},
                    ParseCase{PARAM_STRING, "any text at all", true}, ParseCase{PARAM_OPAQUE, "1", false},
                    ParseCase{PARAM_CUSTOM, "1", false}, ParseCase{static_cast<PARAM_TYPE>(0), "1", false},
                    ParseCase{static_cast<PARAM_TYPE>(15), "1", false}));

TEST(ParseValue, FillsTheElements) {
  kivConsoleValue value;
  ASSERT_EQ(kivConsole_ParseValue(PARAM_BYTE4, "255 128 0 7", &value), 1);
  EXPECT_EQ(value.byte4, 0xFF800007u);
  ASSERT_EQ(kivConsole_ParseValue(PARAM_FLOAT3, "1 2.5 -3", &value), 1);
  EXPECT_EQ(value.count, 3);
  EXPECT_EQ(value.floats[1], 2.5f);
  EXPECT_EQ(value.floats[2], -3.0f);
  ASSERT_EQ(kivConsole_ParseValue(PARAM_INT2, "7 -1", &value), 1);
  EXPECT_EQ(value.ints[1], -1);
  const std::string longText(300, 's');
  ASSERT_EQ(kivConsole_ParseValue(PARAM_STRING, longText.c_str(), &value), 1);
  EXPECT_EQ(std::string(value.text), longText.substr(0, 255));
  EXPECT_EQ(kivConsole_ParseValue(PARAM_INT, "1", nullptr), 1);
}

// A variable stores its text cut to 255 characters: a number text beyond that, which
// would be stored as a text that no longer parses, is refused whole.
TEST(ParseValue, RefusesNumberTextsLongerThanAValueText) {
  const std::string padded = std::string(300, ' ') + "1 0 3";
  EXPECT_EQ(kivConsole_ParseValue(PARAM_INT3, padded.c_str(), nullptr), 0);
  const std::string fits = std::string(250, ' ') + "1 0 3";
  EXPECT_EQ(kivConsole_ParseValue(PARAM_INT3, fits.c_str(), nullptr), 1);
}

}  // namespace
