#include "client/ORVHandler.h"

void ORVHandler::handleMessage(const std::shared_ptr<const ORVMessage>&) {}
