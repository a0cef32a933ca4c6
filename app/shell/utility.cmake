# The shell's database and file routines (basDAOUtilityFunctions, basUtilityFunctions' file part).
# Included by app/shell/CMakeLists.txt.
add_library(dorvane_shellutil STATIC
  ${CMAKE_CURRENT_LIST_DIR}/basDAOUtilityFunctions.cpp ${CMAKE_CURRENT_LIST_DIR}/basUtilityFunctions.cpp)
target_include_directories(dorvane_shellutil PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dorvane_shellutil PUBLIC dorvane_dao dorvane_paths)
dorvane_test(basDAOUtilityFunctions_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/basDAOUtilityFunctions_test.cpp
             LIBS dorvane_shellutil)
