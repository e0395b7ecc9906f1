// The local content server: listeners on 127.0.0.1 and [::1] with one thread per
// connection. StartServer and StopServer are called on the main thread.
#pragma once

// Result of a failed StartServer.
inline constexpr long E_FAIL = 0x80004005L;

// Starts listening on a system-chosen port, the same on 127.0.0.1 and on
// [::1] (where the machine has IPv6), and sets g_strPort and g_sockListen
// (the 127.0.0.1 socket). 0 on success, E_FAIL otherwise (the sockets are
// closed again). Needs g_strAppDir, g_strDataDir and g_bDevMode set.
long StartServer();
// Stops accepting connections on both addresses; connections already
// accepted finish. Always 0.
long StopServer();
