# Lua 5.3, zlib with minizip's unzip interface, and GoogleTest, all built for the cross target from
# Debian's sources (fetched by tools/bootstrap into QV_THIRD_PARTY_DIR).
set(QV_LUA_DIR "${QV_THIRD_PARTY_DIR}/lua5.3/src")
set(QV_ZLIB_DIR "${QV_THIRD_PARTY_DIR}/zlib")
if(NOT EXISTS "${QV_LUA_DIR}/lapi.c" OR NOT EXISTS "${QV_ZLIB_DIR}/contrib/minizip/unzip.c")
  message(FATAL_ERROR "Lua or zlib sources missing under ${QV_THIRD_PARTY_DIR}: run tools/bootstrap first")
endif()

file(GLOB QV_LUA_SOURCES "${QV_LUA_DIR}/*.c")
list(REMOVE_ITEM QV_LUA_SOURCES "${QV_LUA_DIR}/lua.c" "${QV_LUA_DIR}/luac.c")
# Lua is compiled as C++, so ldo.c raises and catches C++ exceptions instead of longjmp: a native that
# raises (luaL_error, an argument check) still runs the destructors of what it owns. Its own flags
# (-w), not our -Werror set.
set_source_files_properties(${QV_LUA_SOURCES} PROPERTIES LANGUAGE CXX)
add_library(lua53 STATIC ${QV_LUA_SOURCES})
target_include_directories(lua53 SYSTEM PUBLIC "${QV_LUA_DIR}")
target_compile_definitions(lua53 PRIVATE LUA_COMPAT_5_2)
target_compile_options(lua53 PRIVATE -w)

set(QV_ZLIB_SOURCES adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c infback.c
  inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
list(TRANSFORM QV_ZLIB_SOURCES PREPEND "${QV_ZLIB_DIR}/")
add_library(qv_minizip STATIC ${QV_ZLIB_SOURCES}
  "${QV_ZLIB_DIR}/contrib/minizip/unzip.c" "${QV_ZLIB_DIR}/contrib/minizip/ioapi.c")
target_include_directories(qv_minizip SYSTEM PUBLIC "${QV_ZLIB_DIR}" "${QV_ZLIB_DIR}/contrib/minizip")
target_compile_definitions(qv_minizip PRIVATE NOCRYPT NOUNCRYPT)
target_compile_options(qv_minizip PRIVATE -w)

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
