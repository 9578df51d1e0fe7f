#pragma once
// Serves files of one folder by relative path without ever reaching outside
// it: the path is checked segment by segment (no "..", ".", empty or hidden
// segments, no back-slashes or control bytes, no '%' left over from a second
// encoding), then the resolved file must still lie inside the folder once
// symlinks are followed.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orv::server {

class MediaFolder {
 public:
  // Files larger than this are not served: pictures are a few kilobytes.
  static constexpr uintmax_t kMaxFileSize = 8u << 20;

  struct File {
    std::string body;
    std::string contentType;
    std::string etag;          // quoted, from size and modification time
    std::string lastModified;  // HTTP date
  };

  explicit MediaFolder(std::filesystem::path root);

  // Reads the file at a decoded relative path ("icons/1.png"); nullopt when
  // the path is refused or names no regular file.
  std::optional<File> read(std::string_view relativePath) const;

  // The checks on the text of a path alone.
  static bool isSafeRelativePath(std::string_view relativePath);
  static std::string contentTypeFor(const std::filesystem::path& file);

  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

}  // namespace orv::server
