#pragma once

#include <cstdint>
#include <filesystem>

#include <QImage>
#include <QString>

namespace pathmere {

// The drawn tiles of "All days" kept on disk beside the index, in the
// cache, so a restart shows them at once: one PNG a tile, a folder a zoom,
// named for its place and colouring and carrying the generation of the days
// it was drawn from; a tile whose days changed since is drawn again.
// Deleting the folder costs only the drawing; it is kept within a size.
class AllDaysPictures {
 public:
  explicit AllDaysPictures(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The stored picture of tile (zoom, x, y) drawn with `colouring` from
  // days of `generation`; null when there is none, it is older or damaged.
  QImage Find(int zoom, int64_t x, int64_t y, quint64 colouring, quint64 generation) const;
  // Best effort: a full or read-only disk costs only the drawing next time.
  void Keep(int zoom, int64_t x, int64_t y, quint64 colouring, quint64 generation, const QImage& image) const;

  // Keeps the folder within `maxBytes`: when it holds more, the pictures
  // least recently found or kept go until a quarter of the room is free
  // (colourings and filters no longer used are the first to go).
  void Prune(uint64_t maxBytes) const;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  QString FileOf(int zoom, int64_t x, int64_t y, quint64 colouring) const;

  std::filesystem::path folder_;
};

}  // namespace pathmere
