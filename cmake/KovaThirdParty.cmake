# Libraries of others that shipped code links, always statically, so that
# every shipped binary imports only system DLLs.
#   kova_zlib   Deflate (zlib), from Debian's MinGW package libz-mingw-w64-dev
find_library(KOVA_ZLIB_ARCHIVE NAMES libz.a REQUIRED)
find_path(KOVA_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(kova_zlib STATIC IMPORTED GLOBAL)
set_target_properties(kova_zlib PROPERTIES
    IMPORTED_LOCATION ${KOVA_ZLIB_ARCHIVE}
    INTERFACE_INCLUDE_DIRECTORIES ${KOVA_ZLIB_INCLUDE})
