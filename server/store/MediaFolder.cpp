#include "server/store/MediaFolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <sstream>

namespace orv::server {

MediaFolder::MediaFolder(std::filesystem::path root) : root_(std::move(root)) {}

bool MediaFolder::isSafeRelativePath(std::string_view path) {
  if (path.empty() || path.size() > 512 || path.front() == '/') return false;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string_view segment = path.substr(start, end - start);
    // Empty segments ("a//b"), hidden files and "."/".." all start with '.'
    // or are empty.
    if (segment.empty() || segment.front() == '.') return false;
    for (const char c : segment) {
      const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
      if (!allowed) return false;
    }
    start = end + 1;
  }
  return true;
}

std::string MediaFolder::contentTypeFor(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".png") return "image/png";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".gif") return "image/gif";
  if (ext == ".webp") return "image/webp";
  if (ext == ".svg") return "image/svg+xml";
  return "application/octet-stream";
}

std::optional<MediaFolder::File> MediaFolder::read(std::string_view relativePath) const {
  if (!isSafeRelativePath(relativePath)) return std::nullopt;
  // The folder may be created after this object (seeding draws into it), so
  // it is resolved on every read.
  std::error_code ec;
  const auto root = std::filesystem::canonical(root_, ec);
  if (ec) return std::nullopt;
  const auto resolved = std::filesystem::canonical(root / std::filesystem::path(relativePath), ec);
  if (ec) return std::nullopt;
  // A symlink inside the folder may still point outside it.
  const auto rel = resolved.lexically_relative(root);
  if (rel.empty() || *rel.begin() == "..") return std::nullopt;

  struct stat st {};
  if (::stat(resolved.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uintmax_t>(st.st_size) > kMaxFileSize) {
    return std::nullopt;
  }
  std::ifstream in(resolved, std::ios::binary);
  if (!in) return std::nullopt;
  File f;
  f.body.resize(static_cast<size_t>(st.st_size));
  in.read(f.body.data(), static_cast<std::streamsize>(f.body.size()));
  f.body.resize(static_cast<size_t>(in.gcount()));
  f.contentType = contentTypeFor(resolved);
  std::ostringstream etag;
  etag << '"' << std::hex << st.st_size << '-' << st.st_mtim.tv_sec << '-' << st.st_mtim.tv_nsec << '"';
  f.etag = etag.str();
  char date[64];
  std::tm tm{};
  gmtime_r(&st.st_mtim.tv_sec, &tm);
  std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  f.lastModified = date;
  return f;
}

}  // namespace orv::server
