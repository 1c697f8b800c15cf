# The board page of velmaro-arena --serve: the HTTP server is cpp-httplib
# from Debian (libcpp-httplib-dev, a header and a shared library, compiled
# with the flags its pkg-config file gives), and the page is embedded into
# the binary as a generated header.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(velmaro-arena PRIVATE PkgConfig::CPP_HTTPLIB)

set(ARENA_PAGE_SOURCE ${CMAKE_SOURCE_DIR}/tools/arena/web/index.html)
set(ARENA_PAGE_HEADER ${CMAKE_BINARY_DIR}/generated/arena_page.h)
add_custom_command(
  OUTPUT ${ARENA_PAGE_HEADER}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${ARENA_PAGE_SOURCE} -DOUTPUT=${ARENA_PAGE_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_page.cmake
  DEPENDS ${ARENA_PAGE_SOURCE} ${CMAKE_SOURCE_DIR}/cmake/embed_page.cmake
  COMMENT "Embedding the board page")
target_sources(velmaro-arena PRIVATE ${ARENA_PAGE_HEADER})
target_include_directories(velmaro-arena PRIVATE ${CMAKE_BINARY_DIR}/generated)
