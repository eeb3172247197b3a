#pragma once

#include <deque>
#include <functional>
#include <vector>

#include <QHash>
#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkDiskCache;
class QNetworkReply;

namespace pathmere {

// $XDG_CACHE_HOME/pathmere/tiles (~/.cache/pathmere/tiles): one disk cache
// for the tiles of every tile server.
QString TileCacheFolder();

// The identification tile servers ask for: "Pathmere/<version> (+<address>)".
QByteArray TileUserAgent();

// Fetches the tiles a map view lacks from tile servers, politely: only what
// the view asks for, a few at a time, each kept on disk by the server's
// expiry and at least a week, then revalidated rather than fetched again.
// Everything is asynchronous; nothing here waits for the network or blocks.
class TileFetcher final : public QObject {
 public:
  static constexpr int kMostInFlight = 4;
  static constexpr qint64 kCacheBytes = 500LL * 1024 * 1024;
  // A tile is used without asking the server for at least this long.
  static constexpr int kFreshDays = 7;
  // A request with no byte for this long has failed.
  static constexpr int kTimeoutMs = 10'000;
  // A tile is tens of kilobytes; more than this is not a tile.
  static constexpr qint64 kMostTileBytes = 1024 * 1024;

  struct Wanted {
    quint64 id = 0;
    QUrl url;
  };

  explicit TileFetcher(const QString& cacheFolder, QObject* parent = nullptr);
  ~TileFetcher() override;

  // The tiles the view shows and lacks, most wanted first. It replaces what
  // was queued before, so tiles panned out of view are never asked for;
  // requests already sent are let finish.
  void Want(const std::vector<Wanted>& tiles);

  // Each finished tile's bytes; empty when it failed (an HTTP error, a
  // time-out, no network, a reply that is no picture or too large) and the
  // disk cache has no copy either.
  std::function<void(quint64 id, QByteArray bytes)> onTile;

  // A request with no answer for this long is given up.
  int timeoutMs = kTimeoutMs;

  QNetworkDiskCache* cache() const { return cache_; }
  int inFlight() const { return static_cast<int>(inFlight_.size()); }
  bool busy() const { return !queue_.empty() || !inFlight_.isEmpty(); }

 private:
  void Pump();
  void Start(const Wanted& tile);
  void Finished(QNetworkReply* reply, const Wanted& tile, bool askedServer);
  // A tile fetched or revalidated stays fresh for at least kFreshDays.
  void KeepAtLeastAWeek(const QUrl& url);

  QNetworkAccessManager* manager_ = nullptr;
  QNetworkDiskCache* cache_ = nullptr;
  std::deque<Wanted> queue_;
  QHash<quint64, QNetworkReply*> inFlight_;
};

}  // namespace pathmere
