#pragma once
// What the program sets up before its main window and takes down after it: the picture
// formats of the codecs, registered in the order the file dialog lists them.

namespace gz::ui {

class TPictureFormatsRegistration {
public:
    // "PNG" for TKroPNG, then "jpeg" and "jpg" for TJPEGImage.
    TPictureFormatsRegistration();
    // Removes what the constructor registered.
    ~TPictureFormatsRegistration();
    TPictureFormatsRegistration(const TPictureFormatsRegistration&) = delete;
    TPictureFormatsRegistration& operator=(const TPictureFormatsRegistration&) = delete;
};

// While it lives, Windows plug-ins new to the per-user cache are loaded in the background: the
// main window does not wait for Wine. Their formats join the registry from the event loop when
// no modal dialog is open; a command that needs them meanwhile waits, under the hourglass.
// Needs the application object.
class TBackgroundPluginLoading {
public:
    TBackgroundPluginLoading();
    ~TBackgroundPluginLoading();
    TBackgroundPluginLoading(const TBackgroundPluginLoading&) = delete;
    TBackgroundPluginLoading& operator=(const TBackgroundPluginLoading&) = delete;
};

} // namespace gz::ui
