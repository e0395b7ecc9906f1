// The local content server: a listener on 127.0.0.1 with one thread per
// connection. StartServer and StopServer are called on the main thread.
#pragma once

// Result of a failed StartServer.
inline constexpr long E_FAIL = 0x80004005L;

// Starts listening on a system-chosen port and sets g_strPort. 0 on success,
// E_FAIL otherwise (the socket is closed again). Needs g_strAppDir,
// g_strDataDir and g_bDevMode set.
long StartServer();
// Stops accepting connections; connections already accepted finish. Always 0.
long StopServer();
