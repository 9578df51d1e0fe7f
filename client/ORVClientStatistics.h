#pragma once
// A snapshot of a client's traffic counters, taken by ORVClient::statistics().

#include <chrono>
#include <cstdint>
#include <optional>

struct ORVClientStatistics {
  uint64_t bytesSent = 0;         // frame bytes handed to the socket
  uint64_t bytesReceived = 0;     // bytes read from the socket
  uint64_t messagesSent = 0;      // requests written to a connector
  uint64_t messagesReceived = 0;  // messages delivered to the client (ping and pong excluded)
  uint64_t reconnections = 0;     // connections re-established after a loss
  uint64_t resumes = 0;           // sessions resumed by a handshake
  // Time between the last ping sent and its pong, when one has come back.
  std::optional<std::chrono::microseconds> lastPingRoundTrip;
};
