/* The C interface of the external picture library: the player loads the
   library at run time and looks up the four functions below by name. The
   player hands the library a stream access record; the library reads the
   picture through it and delivers rows of 24-bit BGR or 32-bit BGRA pixels.
   Plain C so that a library built by any compiler can be loaded. */
#ifndef QX_PNG_LIB_H
#define QX_PNG_LIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Access to the player's stream. Positions are relative to the start of the
   picture. Read and Write return the number of bytes moved, 0 at the end or
   on failure; GetSize returns -1 when the size is unknown. */
typedef struct QxImageStreamAccess {
  void* Stream;
  int64_t (*GetSize)(void* stream);
  int32_t (*Read)(void* stream, int64_t position, void* buffer, int32_t count);
  int32_t (*Write)(void* stream, int64_t position, const void* buffer, int32_t count);
} QxImageStreamAccess;

/* Filled by OpenImage / OpenImageFile. BitsPerPixel is 24 (B, G, R bytes)
   or 32 (B, G, R, A bytes). Handle belongs to the library. */
typedef struct QxImageDescriptor {
  int32_t Width;
  int32_t Height;
  int32_t BitsPerPixel;
  void* Handle;
} QxImageDescriptor;

/* The access record must stay valid until CloseImage. Return 1 on success,
   0 when the picture is not one the library reads (nothing to close then). */
typedef int32_t (*QxOpenImageFunc)(QxImageDescriptor* image, const QxImageStreamAccess* access);
typedef int32_t (*QxOpenImageFileFunc)(QxImageDescriptor* image, const char* fileName);
/* Writes Height rows of Width pixels; rows[y] is row y from the top. Returns
   1 on success, 0 on failure (the rows may then be partly written). */
typedef int32_t (*QxReadImageFunc)(QxImageDescriptor* image, uint8_t** rows);
/* Releases everything OpenImage made; the descriptor may then be reused. */
typedef void (*QxCloseImageFunc)(QxImageDescriptor* image);

#define QX_OPEN_IMAGE_NAME "OpenImage"
#define QX_OPEN_IMAGE_FILE_NAME "OpenImageFile"
#define QX_READ_IMAGE_NAME "ReadImage"
#define QX_CLOSE_IMAGE_NAME "CloseImage"

#ifdef __cplusplus
}
#endif

#endif
