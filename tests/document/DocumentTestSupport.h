// Shared by the document tests.
#pragma once

#include <cstdlib>
#include <random>
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

// The seeds of a random model test: 1, 2 and a fresh one, or only KIV_SEED when it is set.
inline std::vector<uint32_t> ModelSeeds() {
  if (const char* s = std::getenv("KIV_SEED")) return {uint32_t(std::strtoul(s, nullptr, 10))};
  std::random_device rd;
  return {1, 2, rd()};
}
