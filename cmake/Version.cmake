# The launcher's version, set once in project() at the top of the build. It
# reaches the code (GetLibQelVersion, the major.minor data folder and
# registry keys), the version block, the manifest, the Games Explorer
# definition and the names of the `make dist` archives through the files
# generated here.
#
# The version text of GetLibQelVersion is major.minor.patch-TYPE.BUILD.REVISION;
# the tag's suffix follows major.minor in the tag ("1.7n").
set(VALDRENNE_VERSION_TYPE 1)
set(VALDRENNE_VERSION_BUILD 0)
set(VALDRENNE_VERSION_REVISION 0)
set(VALDRENNE_VERSION_TAG_SUFFIX n)

if(NOT DEFINED PROJECT_VERSION_TWEAK OR PROJECT_VERSION_TWEAK STREQUAL "")
    set(PROJECT_VERSION_TWEAK 0)
endif()
set(VALDRENNE_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK})
set(VALDRENNE_RELEASE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})

set(VERSION_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(VERSION_TEMPLATES ${PROJECT_SOURCE_DIR}/launch/resources)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Valdrenne.Version.h.in ${VERSION_GENERATED_DIR}/Valdrenne.Version.h @ONLY)
configure_file(${VERSION_TEMPLATES}/Valdrenne.manifest.in ${VERSION_GENERATED_DIR}/Valdrenne.manifest @ONLY)
# The game definition is UTF-16; its template is UTF-8 (with a byte order
# mark, which becomes the UTF-16 one) so that configure_file can fill it in.
configure_file(${VERSION_TEMPLATES}/Valdrenne.gdf.xml.in ${VERSION_GENERATED_DIR}/Valdrenne.gdf.utf8.xml @ONLY)
execute_process(COMMAND iconv -f UTF-8 -t UTF-16LE ${VERSION_GENERATED_DIR}/Valdrenne.gdf.utf8.xml
                OUTPUT_FILE ${VERSION_GENERATED_DIR}/Valdrenne.gdf.xml.new COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE ${VERSION_GENERATED_DIR}/Valdrenne.gdf.xml.new ${VERSION_GENERATED_DIR}/Valdrenne.gdf.xml ONLY_IF_DIFFERENT)
# For the scripts that need the version of a build (tools/run.sh).
file(CONFIGURE OUTPUT ${VERSION_GENERATED_DIR}/release-version.txt CONTENT "${VALDRENNE_RELEASE_VERSION}\n")

# The files the resource script reads (windres reports none of them).
set(VERSION_RESOURCE_FILES ${VERSION_GENERATED_DIR}/Valdrenne.Version.h ${VERSION_GENERATED_DIR}/Valdrenne.manifest
                           ${VERSION_GENERATED_DIR}/Valdrenne.gdf.xml)
target_include_directories(project_options INTERFACE ${VERSION_GENERATED_DIR})
