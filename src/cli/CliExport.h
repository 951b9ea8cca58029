#pragma once
// The picture formats of gazorin-cli, registered as the desktop program registers them.

namespace gz::cli {

// Registers the picture formats in the program's start-up order (PNG, the JPEG names); the
// plug-in formats follow with StartPlugins. Unregister undoes both.
void RegisterCliFormats();
// Searches the plug-ins and registers their formats, once: only a file read through the
// registry wants them, and loading them all (with their libraries) costs a join of small
// pictures more than the join itself.
void StartPlugins();
// Starts what metafile text needs (a windowless GUI application); only metafiles want it.
void StartMetafileText();
void UnregisterCliFormats();

} // namespace gz::cli
