#include "join/JoinGeometry.h"

#include "join/JoinTypes.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace gz {

namespace {

int CanvasSide(std::int64_t side, std::int64_t other)
{
    if (side > std::numeric_limits<int>::max())
        throw EOutOfResources("Out of system resources: the joined picture would be " +
                              std::to_string(side) + " pixels across (" + std::to_string(other) + " the other way)");
    return int(side);
}

} // namespace

TJoinGeometry JoinGeometry(TJoinDir joinDir, TJoinPos joinPos, TSizeMode keepSize, int ow, int oh, int nw, int nh)
{
    TJoinGeometry g;
    const bool keep = keepSize == smKeep;
    std::int64_t cw = nw, ch = nh;
    if (keep)
        cw = ow, ch = oh;
    else if (joinDir == jdUp || joinDir == jdDown)
        cw = std::max(ow, nw), ch = std::int64_t(oh) + nh;
    else if (joinDir == jdLeft || joinDir == jdRight)
        cw = std::int64_t(ow) + nw, ch = std::max(oh, nh);
    g.canvasW = CanvasSide(cw, ch);
    g.canvasH = CanvasSide(ch, cw);

    g.rect = {0, 0, nw, nh};
    g.drawOld = joinDir != jdNew;
    switch (joinDir) {
    case jdUp:
        g.oldY = keep ? 0 : nh;
        break;
    case jdDown:
        g.rect = keep ? TRect{0, oh - nh, nw, oh} : TRect{0, oh, nw, oh + nh};
        break;
    case jdLeft:
        g.oldX = keep ? 0 : nw;
        break;
    case jdRight:
        g.rect = keep ? TRect{ow - nw, 0, ow, nh} : TRect{ow, 0, ow + nw, nh};
        break;
    default:
        break;
    }
    const bool vertical = joinDir == jdUp || joinDir == jdDown;
    const bool horizontal = joinDir == jdLeft || joinDir == jdRight;
    if (joinPos == jpCenter) {
        if (vertical)
            g.rect.Left = g.canvasW / 2 - nw / 2, g.rect.Right = g.rect.Left + nw;
        if (horizontal)
            g.rect.Top = g.canvasH / 2 - nh / 2, g.rect.Bottom = g.rect.Top + nh;
    } else if (joinPos == jpEnd) {
        if (vertical)
            g.rect.Left = g.canvasW - nw, g.rect.Right = g.canvasW;
        if (horizontal)
            g.rect.Top = g.canvasH - nh, g.rect.Bottom = g.canvasH;
    }
    return g;
}

} // namespace gz
