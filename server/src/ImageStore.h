// Stored images: one file per image under DIR/images/<first two characters>/<id>.png,
// written whole before it is renamed into place, and indexed in the database. Paths are
// built only from identifiers the store made itself.
#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Database.h"
#include "PngCheck.h"

class TImageStore {
 public:
  // Creates DIR/images and DIR/tmp when missing.
  TImageStore(const std::filesystem::path& dataDir, TDatabase& db);

  // Stores the bytes under a new random identifier and returns it. Raises std::runtime_error
  // (or EDatabaseError) when the file cannot be written; nothing is left behind then.
  std::string Put(std::string_view png, const TPngInfo& info);
  // The bytes stored under `id`, or nothing for an identifier that is not ours.
  std::optional<std::string> Get(std::string_view id);

 private:
  std::filesystem::path PathOf(const std::string& id) const;
  std::filesystem::path FImages, FTemp;
  TDatabase& FDb;
};

// 16 bytes from the system's random source (getrandom).
std::array<uint8_t, 16> RandomBytes();
