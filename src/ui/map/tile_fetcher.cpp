#include "ui/map/tile_fetcher.h"

#include <memory>

#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "app/program_version.h"

namespace pathmere {

QString TileCacheFolder() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
  return base + QStringLiteral("/pathmere/tiles");
}

QByteArray TileUserAgent() {
  return QByteArray("Pathmere/") + ProgramVersion() + " (+" PATHMERE_PROJECT_ADDRESS ")";
}

TileFetcher::TileFetcher(const QString& cacheFolder, QObject* parent) : QObject(parent) {
  manager_ = new QNetworkAccessManager(this);
  cache_ = new QNetworkDiskCache(manager_);
  cache_->setCacheDirectory(cacheFolder);
  cache_->setMaximumCacheSize(kCacheBytes);
  manager_->setCache(cache_);
}

TileFetcher::~TileFetcher() {
  // Replies still running end with the manager; their slots must not run.
  for (QNetworkReply* reply : std::as_const(inFlight_)) reply->disconnect(this);
}

void TileFetcher::Want(const std::vector<Wanted>& tiles) {
  queue_.clear();
  for (const Wanted& tile : tiles) {
    if (!inFlight_.contains(tile.id)) queue_.push_back(tile);
  }
  Pump();
}

void TileFetcher::Pump() {
  while (inFlight_.size() < kMostInFlight && !queue_.empty()) {
    const Wanted tile = queue_.front();
    queue_.pop_front();
    if (!inFlight_.contains(tile.id)) Start(tile);
  }
}

void TileFetcher::Start(const Wanted& tile) {
  // A tile still fresh on disk comes from there without a word to the server.
  const QNetworkCacheMetaData stored = cache_->metaData(tile.url);
  const bool askedServer = !stored.isValid() || !stored.expirationDate().isValid() ||
                           stored.expirationDate() <= QDateTime::currentDateTimeUtc();
  QNetworkRequest request(tile.url);
  request.setHeader(QNetworkRequest::UserAgentHeader, TileUserAgent());
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, true);
  // Fresh copies are used as they are; stale ones go with their ETag and
  // date, so an unchanged tile costs the server a 304.
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
  request.setTransferTimeout(timeoutMs);
  QNetworkReply* reply = manager_->get(request);
  inFlight_.insert(tile.id, reply);
  // A server sending megabytes is cut off, before the body when it says so.
  connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] {
    if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMostTileBytes) reply->abort();
  });
  connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
    if (received > kMostTileBytes) reply->abort();
  });
  connect(reply, &QNetworkReply::finished, this,
          [this, reply, tile, askedServer] { Finished(reply, tile, askedServer); });
}

void TileFetcher::Finished(QNetworkReply* reply, const Wanted& tile, bool askedServer) {
  reply->deleteLater();
  inFlight_.remove(tile.id);
  QByteArray bytes;
  if (reply->error() == QNetworkReply::NoError) {
    bytes = reply->readAll();
    // A server in trouble may answer 200 with an error page: that is not
    // kept, or it would stand for the tile for a week.
    if (bytes.size() > kMostTileBytes || QImage::fromData(bytes).isNull()) {
      cache_->remove(tile.url);
      bytes.clear();
    } else if (askedServer) {
      KeepAtLeastAWeek(tile.url);
    }
  } else if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 404) {
    // No network, a time-out or a server in trouble: the copy on disk,
    // however old, is better than nothing.
    const std::unique_ptr<QIODevice> stored(cache_->data(tile.url));
    if (stored != nullptr && stored->size() <= kMostTileBytes) bytes = stored->readAll();
  }
  if (onTile) onTile(tile.id, bytes);
  Pump();
}

void TileFetcher::KeepAtLeastAWeek(const QUrl& url) {
  QNetworkCacheMetaData stored = cache_->metaData(url);
  if (!stored.isValid() || !stored.saveToDisk()) return;
  const QDateTime floor = QDateTime::currentDateTimeUtc().addDays(kFreshDays);
  if (stored.expirationDate().isValid() && stored.expirationDate() >= floor) return;
  stored.setExpirationDate(floor);
  cache_->updateMetaData(stored);
}

}  // namespace pathmere
