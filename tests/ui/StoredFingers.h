// What a simulated store file holds, read beside the window rather than through it.
#pragma once

#include <string>
#include <vector>

#include "TemporaryDirectory.h"

// The store's file name inside a test's directory.
inline constexpr const char* kStoreFileName = "store";

// The current user's fingers on unit 1 as the file holds them, in the enrolled set's notation;
// "missing" without a file, "corrupted" when it does not parse.
std::u16string StoredFingers(const TemporaryDirectory& directory);

// Everything in the directory besides the store and its lock file: leftovers of a write.
std::vector<std::string> StoreStrays(const TemporaryDirectory& directory);
