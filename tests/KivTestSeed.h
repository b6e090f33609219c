// The seed of every randomised test.
//
// A randomised test draws its numbers from one seed: a fixed default, so that every run checks
// the same cases, or the value of the environment variable KIV_SEED, to replay a failure
// (KIV_SEED=1234 ctest -R Name). Never a clock or device seed. KIV_TEST_SEED declares the seed
// and prints it with every failure in its scope; a test that needs several streams derives
// them from it (seed + k), so that one KIV_SEED replays them all.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

inline constexpr uint32_t KivDefaultTestSeed = 20261210;

// KIV_SEED when it is set (decimal), otherwise the fixed default.
inline uint32_t KivTestSeed() {
  const char* env = std::getenv("KIV_SEED");
  if (env == nullptr || *env == '\0') return KivDefaultTestSeed;
  return static_cast<uint32_t>(std::strtoul(env, nullptr, 10));
}

inline std::string KivSeedNote(uint32_t ASeed) {
  return "seed " + std::to_string(ASeed) + " (replay with KIV_SEED=" + std::to_string(ASeed) + ")";
}

// const uint32_t AName = KivTestSeed(), reported with every failure until the end of the scope.
#define KIV_TEST_SEED(AName)            \
  const uint32_t AName = KivTestSeed(); \
  SCOPED_TRACE(KivSeedNote(AName))
