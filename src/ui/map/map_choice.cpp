#include "ui/map/map_choice.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/user_config_folder.h"
#include "ui/map/online_tile_source.h"

namespace pathmere {
namespace {

constexpr int kMostFiles = 20;
const QString kOnline = QStringLiteral("online:");

QString ChoiceFile() {
  const std::filesystem::path folder = BrenixConfigFolder();
  if (folder.empty()) return {};
  return QString::fromStdString((folder / "track-view-maps.txt").string());
}

}  // namespace

MapChoice::MapChoice(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("mapChoice"));
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  askMapFile = [this] {
    return QFileDialog::getOpenFileName(
        this, QStringLiteral("Open map file"), QString(),
        QStringLiteral("MBTiles maps (*.mbtiles);;A file in a z/x/y tile folder (*)"));
  };
  connect(this, &QComboBox::activated, this, &MapChoice::OnActivated);
  servers_ = ReadMapSources(MapSourceFolders(), &sourceProblems_);
  // A bad file costs its entry only; the log says why.
  for (const QString& problem : std::as_const(sourceProblems_)) qWarning("%s", qUtf8Printable(problem));
  Rebuild();
}

void MapChoice::Restore() {
  QFile file(ChoiceFile());
  QString saved;
  if (file.open(QIODevice::ReadOnly)) {
    for (int i = 0; i < 2 * kMostFiles && !file.atEnd(); ++i) {
      const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
      if (line.startsWith(QLatin1String("file=")) && files_.size() < kMostFiles) files_ << line.mid(5);
      if (line.startsWith(QLatin1String("chosen="))) saved = line.mid(7);
    }
  }
  Rebuild();
  // A map file that has gone since is left out quietly: "No map".
  if (!saved.isEmpty() && !Choose(saved)) ChooseNoMap();
}

bool MapChoice::Choose(const QString& path) {
  if (path.startsWith(kOnline)) {
    for (const MapSourceFile& server : servers_) {
      if (QFileInfo(server.file).fileName() != path.mid(kOnline.size())) continue;
      setToolTip(server.attribution);
      chosen_ = path;
      Rebuild();
      Save();
      if (onSource) onSource(std::make_unique<OnlineTileSource>(server));
      return true;
    }
    problem_ = QStringLiteral("no map source file %1").arg(path.mid(kOnline.size()));
    setToolTip(problem_);
    if (onProblem) onProblem(problem_);
    Rebuild();
    return false;
  }
  std::unique_ptr<TileSource> source = OpenMapFile(path, &problem_);
  if (source == nullptr) {
    setToolTip(problem_);
    if (onProblem) onProblem(problem_);
    Rebuild();
    return false;
  }
  setToolTip(source->attribution);
  files_.removeAll(source->path);
  files_.prepend(source->path);
  while (files_.size() > kMostFiles) files_.removeLast();
  chosen_ = source->path;
  Rebuild();
  Save();
  if (onSource) onSource(std::move(source));
  return true;
}

void MapChoice::ChooseNoMap() {
  chosen_.clear();
  setToolTip(QString());
  Rebuild();
  Save();
  if (onSource) onSource(nullptr);
}

void MapChoice::OnActivated(int index) {
  if (index == 0) {
    ChooseNoMap();
  } else if (index == count() - 1) {
    const QString path = askMapFile();
    if (path.isEmpty() || !Choose(path)) Rebuild();
  } else {
    const QString path = itemData(index).toString();
    if (path != chosen_ && !Choose(path)) Rebuild();
  }
}

void MapChoice::Rebuild() {
  const QSignalBlocker quiet(this);
  clear();
  addItem(QStringLiteral("No map"));
  // Where a map source file is missing from the list, "No map" says why.
  if (!sourceProblems_.isEmpty()) setItemData(0, sourceProblems_.join(QLatin1Char('\n')), Qt::ToolTipRole);
  for (const MapSourceFile& server : servers_)
    addItem(server.name, kOnline + QFileInfo(server.file).fileName());
  for (const QString& path : files_) addItem(QFileInfo(path).fileName(), path);
  addItem(QStringLiteral("Open map file..."));
  const int at = chosen_.isEmpty() ? 0 : findData(chosen_);
  setCurrentIndex(at < 0 ? 0 : at);
}

void MapChoice::Save() const {
  const QString path = ChoiceFile();
  if (path.isEmpty()) return;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  QByteArray text = "chosen=" + chosen_.toUtf8() + "\n";
  for (const QString& name : files_) text += "file=" + name.toUtf8() + "\n";
  file.write(text);
  file.commit();
}

}  // namespace pathmere
