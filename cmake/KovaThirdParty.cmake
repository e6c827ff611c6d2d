# Libraries of others that shipped code links, always statically, so that
# every shipped binary imports only system DLLs.
#   kova_zlib   Deflate (zlib), from Debian's MinGW package libz-mingw-w64-dev
#   kova_lzma   LZMA1 and LZMA2 raw decoding (liblzma), from Debian's source
#               package xz-utils
#   kova_flac   FLAC stream decoding without Ogg (libFLAC), from flac
#   kova_zstd   Zstandard decompression (libzstd), from libzstd
# The last three are compiled here from the sources that scripts/setup.sh
# unpacks into build/third_party: their decoders only, with the product's
# code size flags, their own warnings silenced (their code, not ours) and
# their headers included as system headers, so that our warnings stay as
# they are for our code.
find_library(KOVA_ZLIB_ARCHIVE NAMES libz.a REQUIRED)
find_path(KOVA_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(kova_zlib STATIC IMPORTED GLOBAL)
set_target_properties(kova_zlib PROPERTIES
    IMPORTED_LOCATION ${KOVA_ZLIB_ARCHIVE}
    INTERFACE_INCLUDE_DIRECTORIES ${KOVA_ZLIB_INCLUDE})

set(KOVA_THIRD_PARTY_DIR ${CMAKE_BINARY_DIR}/third_party CACHE PATH
    "Debian's source packages, unpacked by scripts/setup.sh")

# kova_third_party_source(<variable> <source package>): the folder that
# set-up unpacked the package into, as its <package>.source file names it,
# and in <variable>_VERSION the upstream version (1.4.2 of 1.4.2+ds-2).
function(kova_third_party_source variable package)
    set(record ${KOVA_THIRD_PARTY_DIR}/${package}.source)
    if(EXISTS ${record})
        file(STRINGS ${record} folder REGEX "^Directory: ")
        string(REGEX REPLACE "^Directory: " "" folder "${folder}")
    endif()
    if(NOT EXISTS ${record} OR folder STREQUAL "" OR NOT IS_DIRECTORY ${KOVA_THIRD_PARTY_DIR}/${folder})
        message(FATAL_ERROR "The sources of ${package} are not in ${KOVA_THIRD_PARTY_DIR}: run scripts/setup.sh")
    endif()
    file(STRINGS ${record} version REGEX "^Version: ")
    string(REGEX REPLACE "^Version: ([0-9.]*).*" "\\1" version "${version}")
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${record})
    set(${variable} ${KOVA_THIRD_PARTY_DIR}/${folder} PARENT_SCOPE)
    set(${variable}_VERSION ${version} PARENT_SCOPE)
endfunction()

# kova_third_party_library(<target> FOLDER <dir> SOURCES <relative> ...
#     [INCLUDES <relative> ...] [PUBLIC_INCLUDES <relative> ...]
#     [DEFINES ...] [PUBLIC_DEFINES ...])
function(kova_third_party_library name)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;INCLUDES;PUBLIC_INCLUDES;DEFINES;PUBLIC_DEFINES" ${ARGN})
    list(TRANSFORM ARG_SOURCES PREPEND ${ARG_FOLDER}/)
    list(TRANSFORM ARG_INCLUDES PREPEND ${ARG_FOLDER}/)
    list(TRANSFORM ARG_PUBLIC_INCLUDES PREPEND ${ARG_FOLDER}/)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
    target_include_directories(${name} SYSTEM PUBLIC ${ARG_PUBLIC_INCLUDES})
    # The C runtime's own printf family, not MinGW's C99 one: no 20 KB
    # formatter for the libraries' few messages. No unwind tables: C code
    # needs none, and in a PE file they keep functions past --gc-sections.
    target_compile_definitions(${name} PRIVATE __USE_MINGW_ANSI_STDIO=0 ${ARG_DEFINES}
        PUBLIC ${ARG_PUBLIC_DEFINES})
    target_compile_options(${name} PRIVATE -Os -ffunction-sections -fno-asynchronous-unwind-tables -w)
    set_target_properties(${name} PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
endfunction()

# liblzma: the raw decoder of LZMA1 (as compressed disc images store their
# hunks) and LZMA2, without the .xz container, checks or threads.
kova_third_party_source(_xz xz-utils)
kova_third_party_library(kova_lzma FOLDER ${_xz}/src/liblzma
    SOURCES common/common.c common/filter_common.c common/filter_decoder.c
        lz/lz_decoder.c lzma/lzma_decoder.c lzma/lzma2_decoder.c
    INCLUDES common check lz rangecoder lzma delta simple ../common
    PUBLIC_INCLUDES api
    DEFINES HAVE_STDINT_H HAVE_INTTYPES_H HAVE_STDBOOL_H HAVE__BOOL HAVE_VISIBILITY=0
        HAVE_DECODER_LZMA1 HAVE_DECODER_LZMA2 TUKLIB_SYMBOL_PREFIX=lzma_
    PUBLIC_DEFINES LZMA_API_STATIC)

# libFLAC: the stream decoder, in C only (no assembly, no intrinsics), no Ogg.
# Its file functions (FLAC__stream_decoder_init_file and the like) open names
# through the ANSI fopen: our code never calls them, it feeds the decoder
# from memory (FLAC__stream_decoder_init_stream).
kova_third_party_source(_flac flac)
kova_third_party_library(kova_flac FOLDER ${_flac}
    SOURCES src/libFLAC/bitmath.c src/libFLAC/bitreader.c src/libFLAC/cpu.c
        src/libFLAC/crc.c src/libFLAC/fixed.c src/libFLAC/format.c src/libFLAC/lpc.c
        src/libFLAC/md5.c src/libFLAC/memory.c src/libFLAC/stream_decoder.c
    INCLUDES src/libFLAC/include
    PUBLIC_INCLUDES include
    DEFINES HAVE_STDINT_H HAVE_INTTYPES_H HAVE_LROUND HAVE_FSEEKO FLAC__HAS_OGG=0 FLAC__NO_ASM fopen_utf8=fopen
        CPU_IS_LITTLE_ENDIAN=1 CPU_IS_BIG_ENDIAN=0 WORDS_BIGENDIAN=0 ENABLE_64_BIT_WORDS=0
        "PACKAGE_VERSION=\"${_flac_VERSION}\""
    PUBLIC_DEFINES FLAC__NO_DLL)

# libzstd: decompression only, without assembly, threads (ZSTD_MULTITHREAD
# left undefined), tracing or the formats of its early versions.
kova_third_party_source(_zstd libzstd)
kova_third_party_library(kova_zstd FOLDER ${_zstd}/lib
    SOURCES common/entropy_common.c common/error_private.c common/fse_decompress.c
        common/xxhash.c common/zstd_common.c
        decompress/huf_decompress.c decompress/zstd_ddict.c decompress/zstd_decompress.c
        decompress/zstd_decompress_block.c
    INCLUDES common
    PUBLIC_INCLUDES .
    DEFINES ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0 ZSTD_TRACE=0 DEBUGLEVEL=0
        XXH_NAMESPACE=ZSTD_)
