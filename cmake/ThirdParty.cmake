# MuPDF: Debian ships static archives and a stale pkg-config file, so name the archives and their
# dependencies ourselves. Only the platform library links it.
find_library(MUPDF_LIB NAMES libmupdf.a mupdf PATHS /usr/lib /usr/lib/x86_64-linux-gnu REQUIRED)
find_library(MUPDF_THIRD_LIB NAMES libmupdf-third.a mupdf-third PATHS /usr/lib /usr/lib/x86_64-linux-gnu REQUIRED)
pkg_check_modules(MUPDF_DEPS REQUIRED IMPORTED_TARGET mujs gumbo harfbuzz freetype2 jbig2dec libjpeg libopenjp2 zlib)
add_library(vmk_mupdf INTERFACE)
target_link_libraries(vmk_mupdf INTERFACE ${MUPDF_LIB} ${MUPDF_THIRD_LIB} PkgConfig::MUPDF_DEPS Threads::Threads m)

pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET tesseract lept)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig freetype2)
pkg_check_modules(HB_SUBSET REQUIRED IMPORTED_TARGET harfbuzz-subset)

# Verified third-party files that scripts/setup.sh left in .cache/third_party go into the build tree:
# PDFium into the application's private library folder, the icon set into its data folder.
set(VMK_THIRD_PARTY ${PROJECT_SOURCE_DIR}/.cache/third_party)
set(VMK_PRIVATE_LIB_DIR ${CMAKE_BINARY_DIR}/lib/vellumark)
set(VMK_DATA_DIR ${CMAKE_BINARY_DIR}/share/vellumark)
file(MAKE_DIRECTORY ${VMK_PRIVATE_LIB_DIR} ${VMK_DATA_DIR})
if(EXISTS ${VMK_THIRD_PARTY}/libpdfium.so)
  configure_file(${VMK_THIRD_PARTY}/libpdfium.so ${VMK_PRIVATE_LIB_DIR}/libpdfium.so COPYONLY)
  set(VMK_HAVE_PDFIUM ON)
else()
  message(STATUS "PDFium is not available: in-place editing will report that its engine could not start")
  set(VMK_HAVE_PDFIUM OFF)
endif()
if(EXISTS ${VMK_THIRD_PARTY}/lucide-static-1.87.0/package/icons)
  file(COPY ${VMK_THIRD_PARTY}/lucide-static-1.87.0/package/icons DESTINATION ${VMK_DATA_DIR})
endif()
file(COPY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${VMK_DATA_DIR})
