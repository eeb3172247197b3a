#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QComboBox>
#include <QStringList>

#include "ui/map/map_source_file.h"
#include "ui/map/tile_source.h"

namespace pathmere {

// The track view's "Map" choice: "No map" (the first start's, so the
// program reads no map and goes on no network until asked), the tile
// servers of the map source files, the map files opened before, and
// "Open map file..." for an MBTiles file or a z/x/y tile folder. The choice
// and the list are kept in the user's configuration folder.
class MapChoice final : public QComboBox {
 public:
  explicit MapChoice(QWidget* parent = nullptr);

  // Asks which map file to open; an empty answer cancels. A file dialog
  // unless a test answers.
  std::function<QString()> askMapFile;
  // Given each new source; null for "No map".
  std::function<void(std::unique_ptr<TileSource>)> onSource;
  // Told why a map the user chose cannot be shown.
  std::function<void(const QString& problem)> onProblem;

  // Applies the saved choice; once, after onSource is set.
  void Restore();
  // Opens `path`, remembers it and makes it the map; false (and the last
  // problem set) when it is no map. "online:" and a map source file's name
  // choose that tile server.
  bool Choose(const QString& path);
  void ChooseNoMap();

  const QStringList& files() const { return files_; }
  const QString& chosen() const { return chosen_; }
  const QString& problem() const { return problem_; }
  const std::vector<MapSourceFile>& servers() const { return servers_; }
  // Map source files left out, each with why.
  const QStringList& sourceProblems() const { return sourceProblems_; }

 private:
  void OnActivated(int index);
  void Rebuild();
  void Save() const;

  std::vector<MapSourceFile> servers_;
  QStringList sourceProblems_;
  QStringList files_;
  QString chosen_;  // empty: no map
  QString problem_;
};

}  // namespace pathmere
