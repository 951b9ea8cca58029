#pragma once
// The picture formats of gazorin-cli, registered as the desktop program registers them.

namespace gz::cli {

// Registers the picture formats in the program's start-up order (PNG, the JPEG names, the
// plug-in formats); Unregister undoes it.
void RegisterCliFormats();
// Starts what metafile text needs (a windowless GUI application); only metafiles want it.
void StartMetafileText();
void UnregisterCliFormats();

} // namespace gz::cli
