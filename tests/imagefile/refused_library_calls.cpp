#include "tests/support/refused_calls.h"

#if VISTREL_REFUSED_CALLS
#include <jxl/encode.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <csignal>

static const heif_error heifFailure{heif_error_Encoder_plugin_error, heif_suberror_Unspecified, "refused"};

REFUSED(JxlEncoderCreate, nullptr, (const JxlMemoryManager* m), (m))
REFUSED(JxlEncoderUseBoxes, JXL_ENC_ERROR, (JxlEncoder* e), (e))
REFUSED(JxlEncoderSetBasicInfo, JXL_ENC_ERROR, (JxlEncoder* e, const JxlBasicInfo* i), (e, i))
REFUSED(JxlEncoderSetICCProfile, JXL_ENC_ERROR, (JxlEncoder* e, const uint8_t* p, size_t n), (e, p, n))
REFUSED(JxlEncoderAddBox, JXL_ENC_ERROR, (JxlEncoder* e, const JxlBoxType t, const uint8_t* c, size_t n, JXL_BOOL z),
        (e, t, c, n, z))
REFUSED(JxlEncoderFrameSettingsCreate, nullptr, (JxlEncoder* e, const JxlEncoderFrameSettings* s), (e, s))
REFUSED(JxlEncoderSetFrameDistance, JXL_ENC_ERROR, (JxlEncoderFrameSettings* s, float d), (s, d))
REFUSED(JxlEncoderAddImageFrame, JXL_ENC_ERROR, (const JxlEncoderFrameSettings* s, const JxlPixelFormat* f,
                                                 const void* b, size_t n), (s, f, b, n))
REFUSED(JxlEncoderProcessOutput, JXL_ENC_ERROR, (JxlEncoder* e, uint8_t** next, size_t* avail), (e, next, avail))

REFUSED(heif_context_alloc, nullptr, (void), ())
REFUSED(heif_context_get_encoder_for_format, heifFailure,
        (heif_context* c, heif_compression_format f, heif_encoder** e), (c, f, e))
REFUSED(heif_encoder_set_lossy_quality, heifFailure, (heif_encoder* e, int q), (e, q))
REFUSED(heif_image_create, heifFailure, (int w, int h, heif_colorspace s, heif_chroma c, heif_image** i),
        (w, h, s, c, i))
REFUSED(heif_image_add_plane, heifFailure, (heif_image* i, heif_channel c, int w, int h, int d), (i, c, w, h, d))
REFUSED(heif_image_get_plane, nullptr, (heif_image* i, heif_channel c, int* s), (i, c, s))
REFUSED(heif_image_set_raw_color_profile, heifFailure, (heif_image* i, const char* t, const void* p, const size_t n),
        (i, t, p, n))
REFUSED(heif_context_encode_image, heifFailure,
        (heif_context* c, const heif_image* i, heif_encoder* e, const heif_encoding_options* o, heif_image_handle** h),
        (c, i, e, o, h))
REFUSED(heif_context_add_exif_metadata, heifFailure,
        (heif_context* c, const heif_image_handle* h, const void* d, int n), (c, h, d, n))
REFUSED(heif_context_write, heifFailure, (heif_context* c, heif_writer* w, void* u), (c, w, u))

REFUSED(TIFFWriteScanline, -1, (TIFF* t, void* row, uint32_t y, uint16_t plane), (t, row, y, plane))
REFUSED(TIFFWriteDirectory, 0, (TIFF* t), (t))

REFUSED(WebPPictureImportRGB, 0, (WebPPicture* p, const uint8_t* rgb, int stride), (p, rgb, stride))
REFUSED(WebPEncode, 0, (const WebPConfig* c, WebPPicture* p), (c, p))
REFUSED(WebPMuxSetImage, WEBP_MUX_MEMORY_ERROR, (WebPMux* m, const WebPData* d, int copy), (m, d, copy))
REFUSED(WebPMuxSetChunk, WEBP_MUX_MEMORY_ERROR, (WebPMux* m, const char f[4], const WebPData* d, int copy),
        (m, f, d, copy))
REFUSED(WebPMuxAssemble, WEBP_MUX_MEMORY_ERROR, (WebPMux* m, WebPData* d), (m, d))
// LibRaw refusing a file, and LibRaw crashing on one.
REFUSED(libraw_unpack, LIBRAW_FILE_UNSUPPORTED, (libraw_data_t* d), (d))
REFUSED(libraw_dcraw_make_mem_image, nullptr, (libraw_data_t* d, int* e), (d, e))
REFUSED(libraw_dcraw_process, (std::raise(SIGSEGV), LIBRAW_UNSPECIFIED_ERROR), (libraw_data_t* d), (d))
#endif
