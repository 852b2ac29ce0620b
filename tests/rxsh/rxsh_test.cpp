#include "rxsh.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Matrix = std::array<float, 16>;

Matrix Filled(float base) {
  Matrix m;
  for (int i = 0; i < 16; ++i) m[i] = base + static_cast<float>(i);
  return m;
}

Matrix Top() {
  Matrix m;
  const float* top = kivQShader_GetTopMatrix();
  for (int i = 0; i < 16; ++i) m[i] = top[i];
  return m;
}

const Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class MatrixStack : public ::testing::Test {
 protected:
  void TearDown() override {
    while (kivQShader_GetDepth() > 0) kivQShader_PopMatrix();
  }
};

TEST_F(MatrixStack, EmptyStackReadsIdentityAndRefusesPop) {
  EXPECT_EQ(kivQShader_GetDepth(), 0);
  EXPECT_EQ(Top(), kIdentity);
  EXPECT_LT(kivQShader_PopMatrix(), 0);
  EXPECT_EQ(kivQShader_GetDepth(), 0);
}

TEST_F(MatrixStack, PushKeepsACopyOfATemporary) {
  Matrix m = Filled(1.0f);
  ASSERT_EQ(kivQShader_PushMatrix(m.data()), S_OK);
  m.fill(-7.0f);  // the caller's temporary is gone; the stack must not notice
  EXPECT_EQ(Top(), Filled(1.0f));
}

TEST_F(MatrixStack, PopUncoversTheMatrixBelow) {
  Matrix a = Filled(10.0f), b = Filled(20.0f);
  kivQShader_PushMatrix(a.data());
  kivQShader_PushMatrix(b.data());
  EXPECT_EQ(kivQShader_GetDepth(), 2);
  EXPECT_EQ(Top(), b);
  EXPECT_EQ(kivQShader_PopMatrix(), S_OK);
  EXPECT_EQ(Top(), a);
  EXPECT_EQ(kivQShader_PopMatrix(), S_OK);
  EXPECT_EQ(Top(), kIdentity);
}

TEST_F(MatrixStack, OverflowAndNullPushFailWithoutHarm) {
  for (int i = 0; i < kivQShader_MaxDepth; ++i) {
    Matrix m = Filled(static_cast<float>(i));
    ASSERT_EQ(kivQShader_PushMatrix(m.data()), S_OK) << i;
  }
  Matrix extra = Filled(1000.0f);
  EXPECT_LT(kivQShader_PushMatrix(extra.data()), 0);
  EXPECT_LT(kivQShader_PushMatrix(nullptr), 0);
  EXPECT_EQ(kivQShader_GetDepth(), kivQShader_MaxDepth);
  EXPECT_EQ(Top(), Filled(static_cast<float>(kivQShader_MaxDepth - 1)));
}

}  // namespace
