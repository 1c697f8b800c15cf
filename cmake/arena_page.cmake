# The board page of velmaro-arena --serve: its server is the arena's own
# (tools/arena/http_server.h), its JSON nlohmann::json from Debian
# (nlohmann-json3-dev, header only), and the page's files are embedded into
# the binary as a generated header.
find_package(nlohmann_json 3.2 REQUIRED)
target_link_libraries(velmaro-arena PRIVATE nlohmann_json::nlohmann_json)

set(ARENA_PAGE_DIR ${CMAKE_SOURCE_DIR}/tools/arena/web)
set(ARENA_PAGE_FILES
    kBoardPage=${ARENA_PAGE_DIR}/index.html
    kPageScript=${ARENA_PAGE_DIR}/page.js
    kBoardScript=${ARENA_PAGE_DIR}/board.js
    kNotationScript=${ARENA_PAGE_DIR}/notation.js
    kBoardStyle=${ARENA_PAGE_DIR}/board.css
    kEventsWorker=${ARENA_PAGE_DIR}/events-worker.js)
set(ARENA_PAGE_SOURCES ${ARENA_PAGE_FILES})
list(TRANSFORM ARENA_PAGE_SOURCES REPLACE "^[^=]*=" "")
set(ARENA_PAGE_HEADER ${CMAKE_BINARY_DIR}/generated/arena_page.h)
add_custom_command(
  OUTPUT ${ARENA_PAGE_HEADER}
  COMMAND ${CMAKE_COMMAND} "-DFILES=${ARENA_PAGE_FILES}" -DOUTPUT=${ARENA_PAGE_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_page.cmake
  DEPENDS ${ARENA_PAGE_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/embed_page.cmake
  COMMENT "Embedding the board page"
  VERBATIM)
target_sources(velmaro-arena PRIVATE ${ARENA_PAGE_HEADER})
target_include_directories(velmaro-arena PRIVATE ${CMAKE_BINARY_DIR}/generated)
