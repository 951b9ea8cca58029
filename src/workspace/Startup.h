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

} // namespace gz::ui
