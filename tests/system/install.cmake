# The installed program (install_test.sh): cmake --install into a scratch
# DESTDIR, the desktop validators, then the installed binary under Xvfb.
add_test(NAME install_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_BINARY_DIR} ${KC_APP_ID})
set_tests_properties(install_system_test PROPERTIES LABELS system TIMEOUT 300)
