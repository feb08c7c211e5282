// The Windows program verifies through CNG (EcdsaSignature_test.cpp) but
// leaves signing to the maker's Linux machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "system/EcdsaFixtures.h"
#include "system/EcdsaSignature.h"

namespace orvane {
namespace {

TEST(EcdsaSignatureWinTest, SigningPointsToTheLinuxMachine) {
  try {
    SignEcdsa(test::kPublicKeyPem, test::kSignedList);
    ADD_FAILURE() << "signed";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), testing::HasSubstr("maker's Linux machine"));
  }
}

}  // namespace
}  // namespace orvane
