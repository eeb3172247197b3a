#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace pathmere {

// A tile server as a map source file describes it:
//
//   name = OpenStreetMap
//   url = https://tile.openstreetmap.org/{z}/{x}/{y}{r}.png
//   min-zoom = 0
//   max-zoom = 19
//   tile-size = 256
//   attribution = © OpenStreetMap contributors
//
// `{r}` becomes "@2x" on a high-density screen and nothing elsewhere; a URL
// without it is the same on every screen. Lines starting with "#" are notes.
struct MapSourceFile {
  QString file;  // where it was read, for messages
  QString name;
  QString urlTemplate;
  QString attribution;
  int minZoom = 0;
  int maxZoom = 19;
  int tileSize = 256;
};

// Larger files are no map source files.
inline constexpr qint64 kMostMapSourceFileBytes = 16 * 1024;

// Reads one file's text; false with `problem` saying which line is wrong and
// why.
bool ParseMapSourceFile(const QByteArray& text, MapSourceFile* source, QString* problem);

// The folders map source files are read from, first the user's
// ($XDG_CONFIG_HOME/Brenix/maps), then the program's own (share/pathmere/maps
// beside the program and in the data folders).
QStringList MapSourceFolders();

// Every good map source file of `folders` (*.txt), sorted by name; a file
// name found twice is read from the first folder only, so the user's file
// replaces the program's. A bad file is left out and its problem added to
// `problems`.
std::vector<MapSourceFile> ReadMapSources(const QStringList& folders, QStringList* problems);

}  // namespace pathmere
