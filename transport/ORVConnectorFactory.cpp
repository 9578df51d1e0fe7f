#include "transport/ORVConnectorFactory.h"

#include "transport/ORVDatagramConnector.h"
#include "transport/ORVSnappyCompressor.h"
#include "transport/ORVSocketConnector.h"

ORVConnectorFactory::ORVConnectorFactory()
    : delegateQueue_(orv::DispatchQueue::concurrent("orvik.connector")),
      compressor_(std::make_shared<const ORVSnappyCompressor>()) {}

std::shared_ptr<ORVConnectorFactory> ORVConnectorFactory::factory() { return std::make_shared<ORVConnectorFactory>(); }

std::shared_ptr<ORVSocketConnector> ORVConnectorFactory::socketConnector() const {
  auto connector = std::make_shared<ORVSocketConnector>(delegateQueue_, compressor_);
  static_cast<ORVConnector&>(*connector).attach();
  return connector;
}

std::shared_ptr<ORVDatagramConnector> ORVConnectorFactory::datagramConnector() const {
  auto connector = std::make_shared<ORVDatagramConnector>(delegateQueue_, compressor_);
  static_cast<ORVConnector&>(*connector).attach();
  return connector;
}
