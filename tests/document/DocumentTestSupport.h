// Shared by the document tests.
#pragma once

#include "KivTestSeed.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "KivSedDocument.h"

// The message of the EKivEditDocError that AFn raises, or "<no error>".
template <class F>
std::string DocErrorOf(F&& AFn) {
  try {
    AFn();
  } catch (const EKivEditDocError& e) {
    return e.what();
  }
  return "<no error>";
}

// A change set as text, e.g. "insert+modified".
inline std::string ChangesText(TKivDocStatusChanges AChanges) {
  static const char* names[] = {"insert",       "delete",         "compound", "markersCreated",
                                "markSettings", "markersDeleted", "codePage", "modified"};
  std::string s;
  for (int i = 0; i < 8; ++i)
    if (AChanges.Contains(TKivDocStatusChange(i))) s += (s.empty() ? "" : "+") + std::string(names[i]);
  return s;
}

// The seeds of a random model test: three runs derived from the test seed, so that KIV_SEED
// set to any of them replays it first.
inline std::vector<uint32_t> ModelSeeds() {
  const uint32_t base = KivTestSeed();
  return {base, base + 1, base + 2};
}
