# The release archives of a Windows build, made with every build: the install
# archive (stripped Valdrenne.exe with a debug link, README.txt from the
# README, NOTICES.txt of the third-party code linked in) and the symbols
# archive. tools/dist.sh gathers both builds' archives
# into dist/; the package tests unpack them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PACKAGE_PLATFORM win32)
else()
    set(PACKAGE_PLATFORM win64)
endif()
set(PACKAGE_DIR ${CMAKE_BINARY_DIR}/dist)
set(PACKAGE_NAME Valdrenne-${VALDRENNE_RELEASE_VERSION}-${PACKAGE_PLATFORM})
set(PACKAGE_ZIP ${PACKAGE_DIR}/${PACKAGE_NAME}.zip)
set(PACKAGE_SYMBOLS_ZIP ${PACKAGE_DIR}/${PACKAGE_NAME}-symbols.zip)
# The stripped image as it ships, for the size figures of `make bench`.
set(PACKAGE_IMAGE ${PACKAGE_DIR}/Valdrenne.exe)

set(PACKAGE_NOTICES ${CMAKE_BINARY_DIR}/NOTICES.txt)
add_custom_command(
    OUTPUT ${PACKAGE_NOTICES}
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tools/make-notices.py --map ${VALDRENNE_LINK_MAP} --triplet
            ${VALDRENNE_TRIPLET} --source-dir ${PROJECT_SOURCE_DIR} --build-dir ${CMAKE_BINARY_DIR} --search-dir
            ${TARGET_LIBGCC_DIR} --search-dir /usr/${VALDRENNE_TRIPLET}/lib --out ${PACKAGE_NOTICES}
    DEPENDS Valdrenne ${PROJECT_SOURCE_DIR}/tools/make-notices.py ${PROJECT_SOURCE_DIR}/tools/link_map.py
            ${PROJECT_SOURCE_DIR}/tools/release.py
    COMMENT "Listing the third-party code in Valdrenne.exe")
add_custom_command(
    OUTPUT ${PACKAGE_ZIP} ${PACKAGE_SYMBOLS_ZIP}
    BYPRODUCTS ${PACKAGE_IMAGE}
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tools/pack-release.py --image $<TARGET_FILE:Valdrenne> --objcopy
            ${CMAKE_OBJCOPY} --readme ${PROJECT_SOURCE_DIR}/README.md --version ${VALDRENNE_RELEASE_VERSION} --platform
            ${PACKAGE_PLATFORM} --notices ${PACKAGE_NOTICES} --zip ${PACKAGE_ZIP} --symbols-zip ${PACKAGE_SYMBOLS_ZIP}
            --stripped-image ${PACKAGE_IMAGE}
    DEPENDS Valdrenne ${PACKAGE_NOTICES} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/tools/pack-release.py
            ${PROJECT_SOURCE_DIR}/tools/release.py
    COMMENT "Packing ${PACKAGE_NAME}")
add_custom_target(release_archives ALL DEPENDS ${PACKAGE_ZIP} ${PACKAGE_SYMBOLS_ZIP})
