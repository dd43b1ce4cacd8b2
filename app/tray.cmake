# The tray icon logic of the main window, without the toolkit; the windows wire it to the
# desktop's notification area.
add_library(orvel_tray STATIC
  ${CMAKE_CURRENT_LIST_DIR}/main_tray_icon.cc
  ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cc
)
target_link_libraries(orvel_tray PUBLIC orvel_platform)

if(ORVEL_TESTS)
  orvel_add_test(tray_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tray_icon_test.cc
    LIBS orvel_tray)
endif()
