// Every time-out, pause and retry count of the conversation with the gateway,
// in program milliseconds (see Clock.h). Each value is stated once here; the
// code that waits names it.
#pragma once

#include <cstdint>

// Transport: ports and the channel's receive thread.

// Every TCP write of the system: a block the network cannot take within
// this long fails.
constexpr uint32_t SEND_TIMEOUT_MS = 3000;
// Every UDP command datagram to the router.
constexpr uint32_t UDP_SEND_TIMEOUT_MS = 2000;
// A TCP Read that got no byte, and a Write that lost the connection, pause
// this long, so a caller looping on them never spins...
constexpr uint32_t PORT_FAILURE_PAUSE_MS = 100;
// ...and this long when the router closed the connection.
constexpr uint32_t PEER_CLOSED_PAUSE_MS = 1500;
// Between closing a channel's old port and opening the new one.
constexpr uint32_t REOPEN_PAUSE_MS = 100;
// Lets a freshly started receive thread reach its first Read.
constexpr uint32_t THREAD_START_PAUSE_MS = 100;
// One byte read of a direct frame read (no receive thread)...
constexpr uint32_t FRAME_READ_TIMEOUT_MS = 500;
// ...and the pause after one that got nothing.
constexpr uint32_t FRAME_READ_PAUSE_MS = 100;
// A UDP port has no Cancel, so its receive loop reads in steps this long to
// see the stop flag in time.
constexpr uint32_t UNCANCELLABLE_READ_MS = 100;

// Router: discovery, UDP commands and the image upload.

// Discovery tries of the Check, each with a new client.
constexpr int DISCOVERY_TRIES = 3;
// Each discovery reply, waited for afresh after an ignored one.
constexpr uint32_t DISCOVERY_REPLY_TIMEOUT_MS = 3000;
// After a failed discovery try, before its client closes.
constexpr uint32_t DISCOVERY_RETRY_PAUSE_MS = 100;
// Once the first router answered a discovery asked on several interfaces,
// how long the others may still answer (to be named in the log).
constexpr uint32_t DISCOVERY_SETTLE_MS = 500;
// The echo of the NVRAM erase command, its tries, and the pause after each
// failed try.
constexpr uint32_t ERASE_REPLY_TIMEOUT_MS = 4000;
constexpr int ERASE_TRIES = 3;
constexpr uint32_t ERASE_RETRY_PAUSE_MS = 1000;
// The echo of a ping or of a forcing download mode command.
constexpr uint32_t COMMAND_REPLY_TIMEOUT_MS = 2000;
// Before every ping of a presence wait.
constexpr uint32_t PING_PAUSE_MS = 2000;
// After the router entered its forcing download mode.
constexpr uint32_t FORCE_LOAD_PAUSE_MS = 2000;
// Begin packet: tries, the pause after a failed one, and the time the router
// needs after a sent one to get ready for what follows.
constexpr int BEGIN_PACKET_TRIES = 3;
constexpr uint32_t BEGIN_RETRY_PAUSE_MS = 100;
constexpr uint32_t BEGIN_READY_PAUSE_MS = 2500;
// The router's result packet after an image: polled in slices of this
// length, up to the limit for the APP image and for the others.
constexpr uint32_t RESULT_POLL_MS = 8000;
constexpr uint32_t RESULT_LIMIT_APP_MS = 240000;
constexpr uint32_t RESULT_LIMIT_OTHER_MS = 120000;

// Wireless module: diagnostic requests and the downloader.

// Tries of one diagnostic request, and the pause after each failed one.
constexpr int DIAG_TRIES = 3;
constexpr uint32_t DIAG_RETRY_PAUSE_MS = 200;
// The reply to a diagnostic request; the handshake's is longer.
constexpr uint32_t DIAG_REPLY_TIMEOUT_MS = 3000;
constexpr uint32_t HANDSHAKE_REPLY_TIMEOUT_MS = 6000;
// A block write: its tries and the wait for its acknowledgement.
constexpr int WRITE_TRIES = 3;
constexpr uint32_t WRITE_REPLY_TIMEOUT_MS = 5000;
// After the module accepted the offline mode.
constexpr uint32_t CHANGE_MODE_PAUSE_MS = 100;
// The NV restore check: rounds of status queries, each round ended by one
// more restore request.
constexpr int NV_RESTORE_ROUNDS = 2;
constexpr int NV_STATUS_TRIES = 2;

// Upgrade pass and restart waits.

// After each successful stage of the pass but the last.
constexpr uint32_t STAGE_PAUSE_MS = 1000;
// Presence wait for the router before a handshake or a second unlock.
constexpr uint32_t ROUTER_WAIT_SHORT_MS = 10000;
// Each of the two presence waits while the wireless module restarts, and
// the pause between them.
constexpr uint32_t ROUTER_WAIT_RESTART_MS = 60000;
constexpr uint32_t RESTART_SETTLE_PAUSE_MS = 6000;
// Handshakes after a restart.
constexpr int RESTART_HANDSHAKE_TRIES = 3;
