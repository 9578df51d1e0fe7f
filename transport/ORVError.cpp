#include "transport/ORVError.h"

std::string ORVError::description() const {
  std::string text = domain + " " + std::to_string(code) + ": " + message;
  if (!reason.empty()) text += " (" + reason + ")";
  return text;
}
