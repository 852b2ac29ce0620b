#include <gtest/gtest.h>

#include <cctype>
#include <cfloat>
#include <cstring>
#include <string>

#include "kivQModule.h"

namespace {

std::string TextOf(const kivParam& param) {
  char buffer[KIV_VALUE_TEXT_SIZE];
  std::memset(buffer, 'X', sizeof buffer);  // whatever the buffer held before
  param.GetValueText(buffer);
  return buffer;
}

struct ValueCase {
  const char* what;
  PARAM_TYPE type;
  const void* value;
  const char* text;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.what; }

int32_t minusSeven = -7;
float forty = 40.0f;
float rounding = 0.123456f;
uint32_t bytes = 0xFF800000u;
float float2[] = {-0.5f, 2.0f};
float float3[] = {1.0f, 2.5f, -3.0f};
float float4[] = {0.0f, 0.001f, 0.25f, 100.0f};
float float5[] = {1, 2, 3, 4, 5};
int32_t int2[] = {7, -1};
int32_t int3[] = {0, 0, 0};
int32_t int4[] = {1, -2, 3, -4};
int32_t int5[] = {INT32_MIN, -1, 0, 1, INT32_MAX};
char hello[] = "hello";
char empty[] = "";

class ValueText : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueText, IsTheTypesTextForm) {
  const ValueCase& c = GetParam();
  const kivParam param("p", c.type, const_cast<void*>(c.value));
  EXPECT_EQ(TextOf(param), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ValueText,
    testing::Values(ValueCase{"string", PARAM_STRING, hello, "hello"},
                    ValueCase{"empty string", PARAM_STRING, empty, ""},
                    ValueCase{"int", PARAM_INT, &minusSeven, "-7"},
                    ValueCase{"float", PARAM_FLOAT, &forty, "40.00000"},
                    ValueCase{"float rounds to five decimals", PARAM_FLOAT, &rounding, "0.12346"},
                    ValueCase{"byte4 most significant first", PARAM_BYTE4, &bytes, "255 128 0 0"},
                    ValueCase{"float2 keeps minus signs", PARAM_FLOAT2, float2, "-0.50 2.00"},
                    ValueCase{"float3", PARAM_FLOAT3, float3, "1.00 2.50 -3.00"},
                    ValueCase{"float4", PARAM_FLOAT4, float4, "0.00 0.00 0.25 100.00"},
                    ValueCase{"float5", PARAM_FLOAT5, float5, "1.00 2.00 3.00 4.00 5.00"},
                    ValueCase{"int2", PARAM_INT2, int2, "7 -1"},
                    ValueCase{"int3", PARAM_INT3, int3, "0 0 0"},
                    ValueCase{"int4", PARAM_INT4, int4, "1 -2 3 -4"},
                    ValueCase{"int5 extremes", PARAM_INT5, int5, "-2147483648 -1 0 1 2147483647"},
                    ValueCase{"opaque", PARAM_OPAQUE, &forty, ""},
                    ValueCase{"code 0", static_cast<PARAM_TYPE>(0), &forty, ""},
                    ValueCase{"negative code", static_cast<PARAM_TYPE>(-3), &forty, ""},
                    ValueCase{"code 15", static_cast<PARAM_TYPE>(15), &forty, ""}),
    [](const testing::TestParamInfo<ValueCase>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(ValueText, LargestFloatsFitTheBuffer) {
  float huge[] = {-FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
  const std::string text = TextOf(kivParam("p", PARAM_FLOAT5, huge));
  EXPECT_EQ(text.size(), 219u);
  EXPECT_NE(text.back(), ' ');
}

TEST(ValueText, LongStringIsCutAt255Characters) {
  std::string longText(400, 'a');
  const std::string text = TextOf(kivParam("p", PARAM_STRING, longText.data()));
  EXPECT_EQ(text, std::string(255, 'a'));
}

void WriteNothing(char*, void*, int) {}
void WriteMode(char* buffer, void* value, int mode) {
  std::snprintf(buffer, KIV_VALUE_TEXT_SIZE, "%s/%d", static_cast<const char*>(value), mode);
}
void WriteWholeBuffer(char* buffer, void*, int) { std::memset(buffer, 'z', KIV_VALUE_TEXT_SIZE); }

TEST(ValueText, CustomTypeIsWhatItsFormatterWrites) {
  char value[] = "custom";
  EXPECT_EQ(TextOf(kivParam("p", PARAM_CUSTOM, value, &WriteMode)), "custom/2");
  EXPECT_EQ(TextOf(kivParam("p", PARAM_CUSTOM, value, &WriteNothing)), "");
  EXPECT_EQ(TextOf(kivParam("p", PARAM_CUSTOM, value, nullptr)), "");
  EXPECT_EQ(TextOf(kivParam("p", PARAM_CUSTOM, value, &WriteWholeBuffer)), std::string(255, 'z'))
      << "an unterminated formatter text is ended within the buffer";
}

TEST(Param, LongNameIsCut) {
  const std::string name(100, 'n');
  const kivParam param(name.c_str(), PARAM_OPAQUE, nullptr);
  EXPECT_EQ(std::string(param.name), name.substr(0, 63));
}

}  // namespace
