// Pictures per second from the reference server's media service:
//   loader     - every picture requested at once through an ImageLoader with
//                an empty cache (concurrentLoads 2, the default, then 4 and 8),
//                decoded on pool threads, delivered on the main loop;
//   sequential - the plain loop: download one picture, decode it, next.
// Both use the same HTTP client and the same pictures, in the same run.
//
//   bench_image_loader [rounds]      (default 5; the median round is reported)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HttpClient.h"
#include "tests/support/LocalReferenceServer.h"
#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageDecoder.h"
#include "toolkit/image/ImageLoader.h"

using orv::toolkit::ImageCache;
using orv::toolkit::ImageDecoder;
using orv::toolkit::ImageLoadAction;
using orv::toolkit::ImageLoader;

namespace {

struct Round {
  double seconds = 0;
  int pictures = 0;
  int failed = 0;
};

Round throughLoader(const std::vector<QUrl>& urls, unsigned concurrentLoads) {
  ImageLoader loader;
  loader.setCache(std::make_shared<ImageCache>(std::size_t{512} << 20));
  loader.setConcurrentLoads(concurrentLoads);
  std::vector<std::unique_ptr<QObject>> targets;
  Round round;
  QElapsedTimer clock;
  clock.start();
  for (const QUrl& url : urls) {
    targets.push_back(std::make_unique<QObject>());
    loader.loadImage(
        url, targets.back().get(),
        ImageLoadAction{"setImage", [&round](const QImage& image, const QUrl&) { round.pictures += !image.isNull(); }},
        [&round](const orv::toolkit::ImageLoadError&, const QUrl&) { ++round.failed; });
  }
  while (round.pictures + round.failed < static_cast<int>(urls.size())) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  round.seconds = clock.nsecsElapsed() / 1e9;
  return round;
}

Round sequential(const std::vector<QUrl>& urls) {
  auto client = orv::HttpClient::shared();
  Round round;
  QElapsedTimer clock;
  clock.start();
  for (const QUrl& url : urls) {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    orv::HttpResult answer;
    client->get(
        url.toString(QUrl::FullyEncoded).toStdString(), [](std::function<void()> task) { task(); },
        [&](const orv::HttpResult& result) {
          std::lock_guard lock(mutex);
          answer = result;
          finished = true;
          done.notify_one();
        });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    const QImage image =
        answer.ok ? ImageDecoder::decode(QByteArray::fromStdString(answer.body)) : QImage();
    image.isNull() ? ++round.failed : ++round.pictures;
  }
  round.seconds = clock.nsecsElapsed() / 1e9;
  return round;
}

// The decoding alone, from bytes already in memory: what the network costs
// on top of it shows in the other lines.
Round decodeOnly(const std::vector<QByteArray>& files) {
  Round round;
  QElapsedTimer clock;
  clock.start();
  for (const QByteArray& bytes : files) ImageDecoder::decode(bytes).isNull() ? ++round.failed : ++round.pictures;
  round.seconds = clock.nsecsElapsed() / 1e9;
  return round;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  auto server = orv::test::LocalReferenceServer::start();
  if (!server) {
    std::fprintf(stderr, "reference server: %s\n", orv::test::LocalReferenceServer::lastError().c_str());
    return 1;
  }
  const auto media = server->folder() / "store.db.media";
  std::vector<QUrl> urls;
  std::vector<QByteArray> files;
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(media)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".png") continue;
    const auto relative = std::filesystem::relative(entry.path(), media).generic_string();
    urls.emplace_back(QString::fromStdString(server->httpBase() + "/media/" + relative));
    bytes += entry.file_size();
    QFile file(QString::fromStdString(entry.path().string()));
    if (file.open(QIODevice::ReadOnly)) files.push_back(file.readAll());
  }
  std::sort(urls.begin(), urls.end(), [](const QUrl& a, const QUrl& b) { return a.toString() < b.toString(); });
  std::printf("%zu pictures, %.1f KiB in all, %d rounds (median reported)\n", urls.size(), bytes / 1024.0, rounds);

  sequential(urls);  // warm-up: connections, disk cache, image plugins
  struct Line {
    std::string name;
    std::vector<double> rates;
    int failed = 0;
  };
  std::vector<Line> lines{{"sequential download+decode", {}}, {"loader, concurrentLoads 2", {}},
                          {"loader, concurrentLoads 4", {}}, {"loader, concurrentLoads 8", {}},
                          {"decode only, in memory", {}}};
  for (int r = 0; r < rounds; ++r) {
    const Round results[] = {sequential(urls), throughLoader(urls, 2), throughLoader(urls, 4), throughLoader(urls, 8),
                             decodeOnly(files)};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      lines[i].rates.push_back(results[i].pictures / results[i].seconds);
      lines[i].failed += results[i].failed;
    }
  }
  const double base = median(lines[0].rates);
  for (const auto& line : lines) {
    const double rate = median(line.rates);
    std::printf("%-28s %9.1f pictures/s  x%.2f  (failed: %d)\n", line.name.c_str(), rate, rate / base, line.failed);
  }
  return 0;
}
