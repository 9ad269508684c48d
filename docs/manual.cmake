# The user's manual and the pictures it shows (every "(NAME.png)" in it):
# installed beside each other, and built into the GUI program for its
# help window.
set(KELVANE_MANUAL ${CMAKE_CURRENT_LIST_DIR}/manual.md)
file(READ ${KELVANE_MANUAL} _kelvane_manual_text)
string(REGEX MATCHALL "\\([a-z0-9-]+\\.png\\)" _kelvane_manual_links "${_kelvane_manual_text}")
set(KELVANE_MANUAL_PICTURES)
foreach(link IN LISTS _kelvane_manual_links)
  string(REGEX REPLACE "^\\((.*)\\)$" "${CMAKE_CURRENT_LIST_DIR}/\\1" picture "${link}")
  list(APPEND KELVANE_MANUAL_PICTURES ${picture})
endforeach()
list(REMOVE_DUPLICATES KELVANE_MANUAL_PICTURES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KELVANE_MANUAL})
