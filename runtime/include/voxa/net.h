// Network games: hosting, joining, players and text messages.
//
// One program hosts a game on a TCP port, others join it; each program creates named players,
// players send text messages to one player or to all, and queries return the number, ids and
// names of the players. A background thread per program does all socket traffic; the commands
// wait for its answers at most kNetAnswerWaitMs each. Failures show only in the result.
#pragma once

#include "voxa/dynstring.h"

constexpr int kNetDefaultPort = 27013;   // used when a port text is 0 or less
constexpr int kNetAnswerWaitMs = 2000;   // longest wait of a command for the host's answer

// ---- Games
double NetHostGame(const DynString& port);                         // host on port (text, <= 0: 27013); 1.0 hosted, 0.0 on failure
double NetJoinGame(const DynString& address, const DynString& port); // join the host at address ("" this machine); 1.0 when the host answered, else 0.0
DynString NetGetLocalAddresses();                                  // this machine's IPv4 addresses, "a.b.c.d|a.b.c.d|..."

// ---- Players
DynString NetCreatePlayer(const DynString& name);                  // new player's id as text ("101", ...); "-1" when the host gave none
double NetDestroyPlayer(double playerId);                          // tells the host the player leaves and forgets it here; 1.0
double NetCountPlayers();                                          // players in the game, hidden ones not counted; 0 without answer
DynString NetGetPlayerId(double index);                            // id of the player at index (0-based) as text; "0" beyond the players or without answer
DynString NetGetPlayerName(double playerId);                       // the player's name; "" for an unknown id; "NO_DATA" without answer

// ---- Messages
double NetSendMessage(double senderId, double targetId, const DynString& text); // target 0: every player; 1.0 on its way (waits up to kNetAnswerWaitMs for room), 0.0 on failure, no room or text over 2048 bytes
DynString NetGetMessage(double playerId);                          // oldest message queued for this program's player (removed); "" when none
