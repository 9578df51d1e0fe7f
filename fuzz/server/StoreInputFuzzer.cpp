// Feeds untrusted input to every parser of the store's HTTP services: the
// registration form, media paths, search folding and HTML-to-text. Aborts when
// an accepted input breaks what the callers rely on.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/store/DeviceRegistrationForm.h"
#include "server/store/MediaFolder.h"
#include "server/store/TextFolding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv::server;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::string error;
  if (const auto r = DeviceRegistrationForm::parse(input, error)) {
    if (r->packageName.empty() || r->regId.empty() || r->os.empty() || r->versionCode < 0) std::abort();
  } else if (error.empty()) {
    std::abort();  // a refusal always says why
  }

  if (MediaFolder::isSafeRelativePath(input)) {
    if (input.front() == '/' || input.find("..") == 0 || input.find("/..") != std::string_view::npos ||
        input.find('\\') != std::string_view::npos || input.find('%') != std::string_view::npos) {
      std::abort();
    }
  }

  // Folding never grows text and leaves nothing but lower case in ASCII.
  const std::string folded = TextFolding::fold(input);
  if (folded.size() > input.size()) std::abort();
  for (const char c : folded) {
    if (c >= 'A' && c <= 'Z') std::abort();
  }
  // Decoding and blank-joining only ever shorten the text.
  const std::string text = TextFolding::htmlToText(input);
  if (text.size() > input.size()) std::abort();
  (void)TextFolding::escapeHtml(text);
  return 0;
}
