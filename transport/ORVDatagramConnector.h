#pragma once
// The connector declared for datagrams. It has no behaviour of its own: open,
// close and writeData do nothing (the client never creates one).

#include "transport/ORVConnector.h"

class ORVDatagramConnector : public ORVConnector {
 public:
  using ORVConnector::ORVConnector;
};
