# libpng as an outside oracle, shared by the PNG tests and the PNG benchmarks (which may be
# built without the tests).
include_guard(GLOBAL)
find_package(PNG REQUIRED)
add_library(gazorin_libpng_oracle STATIC ${CMAKE_CURRENT_LIST_DIR}/LibpngOracle.cpp)
target_include_directories(gazorin_libpng_oracle PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(gazorin_libpng_oracle PUBLIC PNG::PNG)
