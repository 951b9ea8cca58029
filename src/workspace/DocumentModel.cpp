#include "workspace/DocumentModel.h"

namespace gz::ui {

bool TDocumentModel::Join(const TGraphic& picture, TPlacementRequest* wizard)
{
    const bool changed = JoinPicture(document_, picture, wizard);
    if (changed)
        emit pictureChanged();
    return changed;
}

bool TDocumentModel::JoinBlank(TPlacementRequest* wizard)
{
    const bool changed = gz::JoinBlank(&document_, wizard);
    if (changed)
        emit pictureChanged();
    return changed;
}

void TDocumentModel::Undo()
{
    document_.Undo();
    emit pictureChanged();
}

} // namespace gz::ui
