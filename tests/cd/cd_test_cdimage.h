/* cdimage.dll as the CD tests load it: its exports, and a recording host
   that answers the image to open. */
#ifndef CD_TEST_CDIMAGE_H
#define CD_TEST_CDIMAGE_H

#include <string>

#include "kova_test.h"

/* cdimage.dll with a host whose "ImageFile" is the given value. */
struct CdImage : CdExports {
    RecordingHost host;
    CdImage() : CdExports(ShippedPath("cdimage.dll")) {}
    int32_t Open(const std::string &image)
    {
        host.Answer("CDIMAGE", "ImageFile", image);
        return CD_Open(&host.record);
    }
};

#endif
