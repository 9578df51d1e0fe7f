#pragma once
// The system command ids (the `commandId` of a message) and the content keys of
// the system messages, in both directions. Listed once, here; everything else
// uses these names. The same letter can mean different things in different
// messages, hence one constant per use.

#include <cstdint>

using ORVCommandId = int32_t;

inline constexpr ORVCommandId ORVCommandIdHandshake = 0;
inline constexpr ORVCommandId ORVCommandIdManualDisconnection = 2;
inline constexpr ORVCommandId ORVCommandIdClientDisconnection = 3;
inline constexpr ORVCommandId ORVCommandIdExtension = 5;
inline constexpr ORVCommandId ORVCommandIdPing = 6;
inline constexpr ORVCommandId ORVCommandIdPong = 7;
inline constexpr ORVCommandId ORVCommandIdLogin = 10;
inline constexpr ORVCommandId ORVCommandIdLogout = 11;

// Handshake request: client type, operating system, library version, and the
// session id when resuming.
inline constexpr const char* ORVKeyClientType = "t";
inline constexpr const char* ORVKeyClientOs = "o";
inline constexpr const char* ORVKeyClientVersion = "v";
inline constexpr const char* ORVKeySessionId = "s";
// Handshake answer: session id ("s", above), compression threshold, largest
// message size the client may send.
inline constexpr const char* ORVKeyCompressionThreshold = "c";
inline constexpr const char* ORVKeyMaxMessageSize = "m";
// Handshake and login answers: error code (marks a failure) and its parameters.
inline constexpr const char* ORVKeyErrorCode = "ec";
inline constexpr const char* ORVKeyErrorParams = "ep";
// Login request and answer.
inline constexpr const char* ORVKeyZone = "z";
inline constexpr const char* ORVKeyUserName = "u";
inline constexpr const char* ORVKeyPassword = "s";
inline constexpr const char* ORVKeyLoginParams = "p";
// Login answer: user id and reconnection time-out in seconds.
inline constexpr const char* ORVKeyUserId = "i";
inline constexpr const char* ORVKeyReconnectionTimeout = "r";
// Client disconnection (id 3): the reason, 0 when absent.
inline constexpr const char* ORVKeyDisconnectionReason = "r";

// Fixed values of the handshake request.
inline constexpr const char* ORVClientTypeValue = "Cocoa";
inline constexpr const char* ORVClientOsValue = "iOS";
inline constexpr const char* ORVClientVersionValue = "1.0.0";
