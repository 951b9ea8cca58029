#include "workspace/DocumentModel.h"

namespace gz::ui {

bool TDocumentModel::Join(const TGraphic& picture, TPlacementRequest* wizard)
{
    return Announce(JoinPicture(document_, picture, wizard));
}

bool TDocumentModel::Join(const TPictureRaster& picture, TPlacementRequest* wizard)
{
    return Announce(JoinPicture(document_, picture, wizard));
}

bool TDocumentModel::JoinBlank(TPlacementRequest* wizard) { return Announce(gz::JoinBlank(&document_, wizard)); }

void TDocumentModel::Undo()
{
    document_.Undo();
    emit pictureChanged();
}

bool TDocumentModel::Announce(bool pictureChanged)
{
    if (pictureChanged)
        emit this->pictureChanged();
    return pictureChanged;
}

} // namespace gz::ui
