// The one-pass description text against the literal rules (five entity
// passes, then "<[^>]+>" removed until none is left) on small inputs: any
// difference is a crash. Larger inputs only run the one-pass form, whose cost
// must stay linear.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/lists/HtmlText.h"
#include "store/lists/HtmlTextReference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const std::string text = orv::store::HtmlText::stringByStrippingHTML(html);
  if (text.size() > html.size()) std::abort();
  // The literal form recurses per character inside std::regex and is
  // quadratic: keep it to inputs where both are cheap.
  if (size <= 512) {
    if (text != orv::store::reference::stringByStrippingHTML(html)) std::abort();
    if (orv::store::HtmlText::htmlEntityDecode(html) != orv::store::reference::htmlEntityDecode(std::string(html))) {
      std::abort();
    }
  }
  return 0;
}
