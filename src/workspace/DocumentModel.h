#pragma once
// TDocumentModel: the picture and join settings of one document window, on the Qt side.
// Every change goes through its setters and operations, and each announces itself:
// settingsChanged for the join settings and the zoom, pictureChanged for the working raster.
// Whoever shows the document listens; nobody writes into it behind its back.

#include "join/JoinEngine.h"

#include <QObject>

namespace gz {
class TGraphic;
}

namespace gz::ui {

class TDocumentModel : public QObject {
    Q_OBJECT
public:
    explicit TDocumentModel(QObject* parent = nullptr) : QObject(parent) {}

    const TImageDocument& Document() const { return document_; }
    const TABitmap& Picture() const { return document_.workBmp; }
    // A window whose picture has no rows: new, or emptied by undoing its first picture.
    bool IsEmpty() const { return document_.workBmp.Height() < 1; }

    int Zoom() const { return document_.zoom; }
    TJoinDir JoinDir() const { return document_.joinDir; }
    TJoinPos JoinPos() const { return document_.joinPos; }
    int Flips() const { return document_.flips; }
    TSizeMode KeepSize() const { return document_.keepSize; }
    bool SeeThrough() const { return document_.seeThrough; }

    void SetZoom(int zoom) { Set(document_.zoom, zoom); }
    void SetJoinDir(TJoinDir dir) { Set(document_.joinDir, dir); }
    void SetJoinPos(TJoinPos pos) { Set(document_.joinPos, pos); }
    void SetFlips(int flips) { Set(document_.flips, flips); }
    void SetKeepSize(TSizeMode mode) { Set(document_.keepSize, mode); }
    void SetSeeThrough(bool on) { Set(document_.seeThrough, on); }

    // The join engine's operations; each returns whether the picture changed, and then says so.
    bool Join(const TGraphic& picture, TPlacementRequest* wizard);
    // A loaded picture, whose transparent parts show what lies beneath while SeeThrough is on.
    bool Join(const TPictureRaster& picture, TPlacementRequest* wizard);
    bool JoinBlank(TPlacementRequest* wizard);
    // One step back: the picture before the last join (undo stays as it is).
    void Undo();

signals:
    void settingsChanged();
    void pictureChanged();

private:
    // Says that the picture changed when it did; returns whether it did.
    bool Announce(bool pictureChanged);
    template <class T>
    void Set(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        emit settingsChanged();
    }

    TImageDocument document_;
};

} // namespace gz::ui
