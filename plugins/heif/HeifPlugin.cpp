// HEIF pictures (HEIC from phones and cameras) and AVIF pictures, through libheif: the primary
// picture, with the rotation and mirroring that these formats define as part of it, 8 bits per
// channel, its colour profile (ICC or colour numbers) converted to sRGB, and opacity over white
// in a 32-bit bitmap. The preview is the file's thumbnail where it has one.

#include "PluginKit.h"

#include "photo/ColourProfile.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin HEIF and AVIF plug-in (primary picture, with preview)",
    "*.heic;*.heif;*.hif",
    "HEIF",
    "*.avif",
    "AVIF",
    nullptr,
};

const std::size_t kPictureInfoBytes = 0; // the boxes that describe the picture may follow its data

namespace {

using gz::photo::TPixelLayout;
using gz::photo::TSrgbConversion;

template <class T, void (*Free)(T*)>
struct Owned {
    T* p = nullptr;
    ~Owned()
    {
        if (p)
            Free(p);
    }
};
void FreeContext(heif_context* c) { heif_context_free(c); }
void FreeHandle(const heif_image_handle* h) { heif_image_handle_release(h); }
void FreeImage(const heif_image* i) { heif_image_release(i); }
void FreeOptions(heif_decoding_options* o) { heif_decoding_options_free(o); }
void FreeNclx(heif_color_profile_nclx* n) { heif_nclx_color_profile_free(n); }

// The library is set up while the plug-in is loaded and released when it is unloaded, so that
// nothing it keeps is left behind with the module.
struct Library {
    Library() { heif_init(nullptr); }
    ~Library() { heif_deinit(); }
} library;

// The file's context and its primary picture; false when the library cannot read them.
struct Picture {
    Owned<heif_context, FreeContext> context;
    Owned<const heif_image_handle, FreeHandle> handle;

    bool Open(const std::uint8_t* data, std::size_t size)
    {
        context.p = heif_context_alloc();
        if (!context.p || heif_context_read_from_memory_without_copy(context.p, data, size, nullptr).code != heif_error_Ok)
            return false;
        heif_image_handle* primary = nullptr;
        if (heif_context_get_primary_image_handle(context.p, &primary).code != heif_error_Ok)
            return false;
        handle.p = primary;
        return true;
    }
};

// Tiles of grids are at most this wide and high (cameras use 512; encoders up to 8192).
constexpr int kLargestTile = 8192;

bool IsHeif(const std::uint8_t* data, std::size_t size)
{
    return size >= 12 && heif_check_filetype(data, int(std::min<std::size_t>(size, 4096))) == heif_filetype_yes_supported;
}

gz::photo::TTransfer TransferOf(heif_transfer_characteristics t)
{
    switch (t) {
    case heif_transfer_characteristic_linear: return gz::photo::TTransfer::Linear;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M: return gz::photo::TTransfer::Gamma22;
    default: return gz::photo::TTransfer::Srgb; // sRGB itself and the BT.709 family
    }
}

// The conversion the picture's colour profile asks for; none for sRGB or no profile.
std::unique_ptr<TSrgbConversion> ProfileConversion(const heif_image_handle* handle, TPixelLayout layout)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_rICC:
    case heif_color_profile_type_prof: {
        std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
        if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            return nullptr;
        return TSrgbConversion::FromProfile(icc.data(), icc.size(), layout);
    }
    case heif_color_profile_type_nclx: {
        Owned<heif_color_profile_nclx, FreeNclx> nclx;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx.p).code != heif_error_Ok || !nclx.p)
            return nullptr;
        const heif_color_profile_nclx& n = *nclx.p;
        if (n.color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
            n.color_primaries == heif_color_primaries_unspecified)
            return nullptr;
        const gz::photo::TChromaticities c{n.color_primary_red_x,   n.color_primary_red_y,   n.color_primary_green_x,
                                           n.color_primary_green_y, n.color_primary_blue_x,  n.color_primary_blue_y,
                                           n.color_primary_white_x, n.color_primary_white_y};
        return TSrgbConversion::FromChromaticities(c, TransferOf(n.transfer_characteristics), layout);
    }
    default:
        return nullptr;
    }
}

// The thumbnail to show as the preview; the primary picture when there is none.
const heif_image_handle* PreviewHandle(const heif_image_handle* primary, Owned<const heif_image_handle, FreeHandle>& thumb)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) == 1) {
        heif_image_handle* h = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &h).code == heif_error_Ok) {
            thumb.p = h;
            return h;
        }
    }
    return primary;
}

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return IsHeif(head, 2048); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (!IsHeif(data, size))
        return SPI_NOT_SUPPORT;
    Picture picture;
    if (!picture.Open(data, size))
        return SPI_OUT_OF_ORDER;
    info.width = heif_image_handle_get_width(picture.handle.p);
    info.height = heif_image_handle_get_height(picture.handle.p);
    info.colorDepth = std::int16_t(heif_image_handle_has_alpha_channel(picture.handle.p) ? 32 : 24);
    return info.width > 0 && info.height > 0 ? SPI_ALL_RIGHT : SPI_OUT_OF_ORDER;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool preview, Dib& dib, Progress& progress)
{
    if (!IsHeif(data, size))
        return SPI_NOT_SUPPORT;
    Picture picture;
    if (!picture.Open(data, size))
        return SPI_OUT_OF_ORDER;
    Owned<const heif_image_handle, FreeHandle> thumbnail;
    const heif_image_handle* handle = preview ? PreviewHandle(picture.handle.p, thumbnail) : picture.handle.p;
    const int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0)
        return SPI_OUT_OF_ORDER;
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixels)
        return SPI_NO_MEMORY; // refused before the library decodes anything
    // A grid's own description of its size must agree with the size the file declares (and we
    // checked); a 534-byte file whose grid claimed 30307 x 12544 against a declared 16 x 12 made
    // the library allocate 2.3 GB before it failed. The library refuses larger pictures and
    // tiles than this limit before allocating them.
    heif_context_set_maximum_image_size_limit(picture.context.p, std::max({width, height, kLargestTile}) + 1);
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle) != 0;

    Owned<heif_decoding_options, FreeOptions> options{heif_decoding_options_alloc()};
    if (!options.p)
        return SPI_NO_MEMORY;
    options.p->convert_hdr_to_8bit = 1;
    Owned<const heif_image, FreeImage> image;
    heif_image* decoded = nullptr;
    if (heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.p)
            .code != heif_error_Ok)
        return SPI_OUT_OF_ORDER;
    image.p = decoded;
    if (progress.Step(1, 2))
        return SPI_ABORT;
    int stride = 0;
    const std::uint8_t* pixels = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    if (!pixels || heif_image_get_width(decoded, heif_channel_interleaved) != width ||
        heif_image_get_height(decoded, heif_channel_interleaved) != height)
        return SPI_OUT_OF_ORDER;
    if (const int r = dib.Create(width, height, alpha ? 32 : 24, 0); r != SPI_ALL_RIGHT)
        return r;

    const auto conversion = ProfileConversion(handle, alpha ? TPixelLayout::BGRA : TPixelLayout::BGR);
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = pixels + std::ptrdiff_t(y) * stride;
        std::uint8_t* out = dib.Row(y);
        for (int x = 0; x < width; ++x, in += channels, out += channels) {
            const std::uint8_t a = alpha ? in[3] : 255;
            const auto straight = [&](unsigned c) { return premultiplied ? gz::photo::Unmultiplied(c, a) : std::uint8_t(c); };
            out[0] = straight(in[2]);
            out[1] = straight(in[1]);
            out[2] = straight(in[0]);
            if (alpha)
                out[3] = a;
        }
        gz::photo::FinishRow(conversion.get(), dib.Row(y), std::size_t(width), alpha);
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
