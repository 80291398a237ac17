# The message catalogs (po/*.po) compiled by gettext's msgfmt into
# <build>/locale/<language>/LC_MESSAGES/kt482.mo, where the library finds
# them in the build tree; installed under the locale folder beside the
# library's folder (see src/base/message_catalog.h). Without msgfmt the
# library speaks English only.
find_program(KT482_MSGFMT msgfmt)
set(KT482_BUILD_LOCALEDIR ${PROJECT_BINARY_DIR}/locale)
file(RELATIVE_PATH KT482_LOCALEDIR_FROM_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR} ${CMAKE_INSTALL_FULL_LOCALEDIR})
set(KT482_CATALOGS)
if(KT482_MSGFMT)
  file(GLOB KT482_PO_FILES ${PROJECT_SOURCE_DIR}/po/*.po)
  foreach(po IN LISTS KT482_PO_FILES)
    get_filename_component(language ${po} NAME_WE)
    set(mo ${KT482_BUILD_LOCALEDIR}/${language}/LC_MESSAGES/kt482.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KT482_BUILD_LOCALEDIR}/${language}/LC_MESSAGES
      COMMAND ${KT482_MSGFMT} --check-format -o ${mo} ${po}
      DEPENDS ${po}
      COMMENT "Compiling the ${language} message catalog")
    list(APPEND KT482_CATALOGS ${mo})
  endforeach()
else()
  message(STATUS "kt482: msgfmt (gettext) not found: the messages are English only")
endif()
add_custom_target(kt482_catalogs ALL DEPENDS ${KT482_CATALOGS})
