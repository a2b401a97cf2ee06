# The main window's pictures on a screen of device pixel ratio 2.
kc_add_test(app_hidpi_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_hidpi_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_app GTest::gtest
  ENV "QT_SCALE_FACTOR=2")
