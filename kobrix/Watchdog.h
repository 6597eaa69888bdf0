#pragma once
// Notices servers that die while nobody calls them.
namespace kobrix {

// Starts the watch on the owner thread, if it is not running (called after a connect).
void WatchServers();
// Stops it once no server is left (called after a disconnect).
void StopWatchingIfIdle();

}  // namespace kobrix
