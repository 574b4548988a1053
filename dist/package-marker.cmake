# Run by CPack while it stages the package's files: the marker that tells the
# player its program folder belongs to the package manager. file(INSTALL)
# adds the staging folder (DESTDIR) itself.
file(INSTALL "${CMAKE_CURRENT_LIST_DIR}/packaged" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/lyrano")
