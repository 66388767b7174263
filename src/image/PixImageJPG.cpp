#include "image/PixImageJPG.h"

#include "image/PixDecodeLimits.h"
#include "image/PixExifInfo.h"
#include "image/PixFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr std::size_t kInputBufferSize = 4096;

// libjpeg's error manager with a way back to the decode.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf back;
    char* text;  // the image's last-error text
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    std::strncpy(err->text, message, 255);
    err->text[255] = '\0';
    std::longjmp(err->back, 1);
}

// Warnings (an early end of the data, for one) are not worth a line on the console.
void OnOutputMessage(j_common_ptr) {}

// libjpeg 6b divided by 1, 2, 4 or 8 only, taking the largest that does not exceed the
// requested denominator; 0 means full size.
unsigned int ScaleDenominator(std::uint8_t requested) {
    if (requested >= 8) return 8;
    if (requested >= 4) return 4;
    if (requested >= 2) return 2;
    return 1;
}

}  // namespace

struct PixImageJPG::PixFileJpg {
    jpeg_source_mgr pub{};
    PixFile* file = nullptr;
    JOCTET buffer[kInputBufferSize] = {};
    bool startOfFile = true;

    static void InitSource(j_decompress_ptr cinfo) { Self(cinfo)->startOfFile = true; }

    static boolean FillInputBuffer(j_decompress_ptr cinfo) {
        PixFileJpg* src = Self(cinfo);
        std::size_t n = src->file->Read(src->buffer, 1, kInputBufferSize);
        if (n == 0) {
            if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
            WARNMS(cinfo, JWRN_JPEG_EOF);
            src->buffer[0] = 0xFF;
            src->buffer[1] = JPEG_EOI;
            n = 2;
        }
        src->pub.next_input_byte = src->buffer;
        src->pub.bytes_in_buffer = n;
        src->startOfFile = false;
        return TRUE;
    }

    static void SkipInputData(j_decompress_ptr cinfo, long count) {
        PixFileJpg* src = Self(cinfo);
        if (count <= 0) return;
        while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
            count -= static_cast<long>(src->pub.bytes_in_buffer);
            FillInputBuffer(cinfo);
        }
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
    }

    static void TermSource(j_decompress_ptr) {}

    static PixFileJpg* Self(j_decompress_ptr cinfo) { return reinterpret_cast<PixFileJpg*>(cinfo->src); }

    explicit PixFileJpg(PixFile* f) : file(f) {
        pub.init_source = InitSource;
        pub.fill_input_buffer = FillInputBuffer;
        pub.skip_input_data = SkipInputData;
        pub.resync_to_restart = jpeg_resync_to_restart;
        pub.term_source = TermSource;
    }
};

PixImageJPG::PixImageJPG() : PixImage(PIX_FORMAT_JPG) {}

PixImageJPG::~PixImageJPG() = default;

bool PixImageJPG::Decode(PixFile* stream) {
    if (!stream) return false;
    exifInfo_ = PixExifRecord{};
    exif_ = std::make_unique<PixExifInfo>(&exifInfo_);
    const std::int32_t pos = stream->Tell();
    // Detection offers every file to this decoder: one that does not start with the start-of-image
    // marker is refused here with the library's own words, so libjpeg's error exit (a longjmp
    // across our stream callbacks) is taken only for files that claim to be JPEG.
    std::uint8_t marker[2] = {};
    if (stream->Read(marker, 1, 2) == 2 && (marker[0] != 0xFF || marker[1] != 0xD8)) {
        char message[64];
        std::snprintf(message, sizeof message, "Not a JPEG file: starts with 0x%02x 0x%02x", marker[0], marker[1]);
        SetError(message);
        stream->Seek(pos, 0);
        return false;
    }
    stream->Seek(pos, 0);
    (void)exif_->DecodeExif(stream, 1);
    stream->Seek(pos, 0);
    return DecodeRows(stream, exifInfo_.isExif);
}

// Only trivially destructible objects live in this function's frame: libjpeg's error exit
// jumps back into it with longjmp.
bool PixImageJPG::DecodeRows(PixFile* stream, bool haveExif) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    PixFileJpg* source = new PixFileJpg(stream);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.output_message = OnOutputMessage;
    err.text = info.lastError;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        delete source;
        Destroy();
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.src = &source->pub;
    jpeg_read_header(&cinfo, TRUE);
#ifdef JCS_EXTENSIONS
    // The image stores blue, green, red: let the library deliver that order.
    if (cinfo.out_color_space == JCS_RGB) cinfo.out_color_space = JCS_EXT_BGR;
#endif
    cinfo.scale_num = 1;
    cinfo.scale_denom = ScaleDenominator(info.jpegScale);
    if (!pixlimits::PixelsAllowed(cinfo.image_width, cinfo.image_height)) {
        SetError(kMaxMemoryError);
        std::longjmp(err.back, 1);
    }
    jpeg_start_decompress(&cinfo);

    const std::uint32_t components = static_cast<std::uint32_t>(cinfo.output_components);
    if (!Create(static_cast<std::int32_t>(cinfo.output_width), static_cast<std::int32_t>(cinfo.output_height),
                8 * components, PIX_FORMAT_JPG))
        std::longjmp(err.back, 1);

    if (haveExif) {
        if (exifInfo_.xResolution != 0 && exifInfo_.resolutionUnit != 0)
            SetXDPI(pixlimits::ToInt32(exifInfo_.xResolution / exifInfo_.resolutionUnit));
        if (exifInfo_.yResolution != 0 && exifInfo_.resolutionUnit != 0)
            SetYDPI(pixlimits::ToInt32(exifInfo_.yResolution / exifInfo_.resolutionUnit));
    } else if (cinfo.density_unit == 2) {
        SetXDPI(static_cast<std::int32_t>(cinfo.X_density * 2.54 + 0.5));
        SetYDPI(static_cast<std::int32_t>(cinfo.Y_density * 2.54 + 0.5));
    } else {
        SetXDPI(cinfo.X_density);
        SetYDPI(cinfo.Y_density);
    }
    if (components == 1) SetGrayPalette();

    const std::uint32_t rowBytes = cinfo.output_width * components;
    const std::uint32_t stride = GetEffWidth();
    const std::uint32_t width = cinfo.output_width;
    const bool direct = components != 4 && cinfo.out_color_space != JCS_RGB;
    JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, rowBytes, 1);
    std::int32_t row = GetHeight() - 1;
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* out = GetBits(static_cast<std::uint32_t>(row--));
        if (direct && out) {
            // Rows are at least as long as what the library writes: straight into the image.
            JSAMPROW target = out;
            jpeg_read_scanlines(&cinfo, &target, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, buffer, 1);
        const JSAMPLE* in = buffer[0];
        if (!out) continue;
        if (components == 4) {
            // Adobe files store CMYK inverted: each channel times K is the colour.
            for (std::uint32_t x = 0; x < width && 3 * x + 2 < stride; ++x, in += 4) {
                const std::uint32_t k = in[3];
                out[3 * x] = static_cast<std::uint8_t>(k * in[2] / 255);
                out[3 * x + 1] = static_cast<std::uint8_t>(k * in[1] / 255);
                out[3 * x + 2] = static_cast<std::uint8_t>(k * in[0] / 255);
            }
        } else if (components == 3) {
            for (std::uint32_t x = 0; x < width; ++x, in += 3) {
                out[3 * x] = in[2];
                out[3 * x + 1] = in[1];
                out[3 * x + 2] = in[0];
            }
        } else {
            std::memcpy(out, in, std::min(rowBytes, stride));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    delete source;
    return true;
}
